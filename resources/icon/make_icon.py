#!/usr/bin/env python3
"""Draws Bemvara's icon and writes it as the Windows .ico and the PNG sizes
the Linux desktop uses. Standard library only, so anyone can rebuild it:

    python3 resources/icon/make_icon.py resources/icon
    python3 resources/icon/make_icon.py --web build/web   # home-screen icons

The picture is the cross-section of a beam bridge, the thing r is about: a
deck slab resting on three girders, with a red load arrow pressing on it.
It is drawn from shapes in a 48-unit square and rendered at each size with
4x4 supersampling, so small sizes stay crisp and large ones smooth.
"""
import struct
import sys
import zlib
from pathlib import Path

ICO_SIZES = (16, 24, 32, 48)   # each in 4, 8 and 32 bits
ICO_LARGE = (128, 256)         # 32 bits only, as PNG: 256 for Explorer's extra-large view
PNG_SIZES = (16, 24, 32, 48, 64, 128, 256)
WEB_SIZES = (192, 512)         # what a browser wants for a home screen
MASKABLE_MARGIN = 0.14         # so every shape keeps inside the safe circle
MASKABLE_BACKGROUND = (255, 255, 255)

STEEL = (31, 78, 140)
CONCRETE = (120, 128, 138)
LOAD = (204, 38, 38)


def shapes():
    """(colour, polygon) in a 48 x 48 square, back to front."""
    slab = [(3, 19), (45, 19), (45, 26), (3, 26)]
    girders = [[(x, 26), (x + 6, 26), (x + 6, 41), (x, 41)] for x in (7, 21, 35)]
    flanges = [[(x - 2, 38), (x + 8, 38), (x + 8, 42), (x - 2, 42)] for x in (7, 21, 35)]
    shaft = [(21.5, 2), (26.5, 2), (26.5, 9), (21.5, 9)]
    head = [(16, 9), (32, 9), (24, 17)]
    return ([(CONCRETE, slab)] + [(STEEL, g) for g in girders] + [(STEEL, f) for f in flanges]
            + [(LOAD, shaft), (LOAD, head)])


def crossings(polygon, y):
    """Where the edges of `polygon` cross the line at height y: a point of
    that line is inside when an odd number of them lie right of it."""
    return [x1 + (y - y1) * (x2 - x1) / (y2 - y1)
            for (x1, y1), (x2, y2) in zip(polygon, polygon[1:] + polygon[:1]) if (y1 > y) != (y2 > y)]


def colours_along(drawn, y, xs):
    """The colour that shows at each of the increasing points xs of the line
    at height y: the front-most shape's there, or None. Between two
    crossings nothing changes, so the shapes are asked again only past one."""
    edges = [crossings(polygon, y) for _, polygon in drawn]
    breaks = sorted(set(x for line in edges for x in line))
    shown = []
    passed = -1  # how many breaks lie at or left of the last point asked about
    front = None
    for x in xs:
        now = passed if passed >= 0 else 0
        while now < len(breaks) and x >= breaks[now]:
            now += 1
        if now != passed:
            passed = now
            front = None
            for (colour, _), line in zip(reversed(drawn), reversed(edges)):
                if sum(1 for cross in line if x < cross) % 2:
                    front = colour
                    break
        shown.append(front)
    return shown


def render(size, margin=0.0, background=None):
    """RGBA rows, top row first: the picture inset by `margin` of the size
    on each side, over `background` where given."""
    # Past 256 pixels an edge is smooth enough with fewer samples, and the
    # large sizes take a fraction of the time.
    samples = 4 if size <= 256 else 2
    scale = 48.0 / (size * (1 - 2 * margin))
    offset = -48.0 * margin / (1 - 2 * margin)
    drawn = shapes() if background is None else [(background, [(offset, offset), (48 - offset, offset),
                                                               (48 - offset, 48 - offset), (offset, 48 - offset)])] + shapes()
    xs = [(px + (sx + 0.5) / samples) * scale + offset for px in range(size) for sx in range(samples)]
    rows = []
    for py in range(size):
        lines = [colours_along(drawn, (py + (sy + 0.5) / samples) * scale + offset, xs) for sy in range(samples)]
        row = []
        for px in range(size):
            r = g = b = covered = 0
            for line in lines:
                for colour in line[px * samples:(px + 1) * samples]:
                    if colour:
                        r += colour[0]; g += colour[1]; b += colour[2]; covered += 1
            alpha = covered * 255 // (samples * samples)
            row.append((r // covered, g // covered, b // covered, alpha) if alpha else (0, 0, 0, 0))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


# The 16 colours every Windows has, and a 256-colour palette of a 6x6x6
# cube plus greys; opaque pixels take the nearest entry.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CUBE256 = ([(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
           + [(v * 255 // 39, v * 255 // 39, v * 255 // 39) for v in range(40)])


def nearest(palette, pixel):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - pixel[k]) ** 2 for k in range(3)))


def row_bytes(bits, width):
    return ((bits * width + 31) // 32) * 4


def dib(rows, bits):
    """An icon image as Windows stores it: BITMAPINFOHEADER, palette, XOR
    bitmap bottom-up, then the 1-bit AND mask of transparent pixels."""
    size = len(rows)
    palette = {4: VGA16, 8: CUBE256}.get(bits, [])
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, len(palette), 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bits == 32:
            for r, g, b, a in row:
                line += bytes((b, g, r, a))
        else:
            indexes = [nearest(palette, p) if p[3] >= 128 else 0 for p in row]
            if bits == 8:
                line += bytes(indexes)
            else:
                for i in range(0, size, 2):
                    high = indexes[i]
                    low = indexes[i + 1] if i + 1 < size else 0
                    line.append(high << 4 | low)
        line += b"\0" * (row_bytes(bits, size) - len(line))
        xor += line
        mask_line = bytearray(row_bytes(1, size))
        for x, pixel in enumerate(row):
            if pixel[3] < 128:
                mask_line[x // 8] |= 0x80 >> (x % 8)
        mask += mask_line
    return header + colours + bytes(xor) + bytes(mask)


def ico(images):
    """images: (size, bits, data). The large images are stored as PNG, as
    Windows has accepted since Vista; the others as DIBs."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, bits, data in images:
        colours = 16 if bits == 4 else 0
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def main(folder):
    folder = Path(folder)
    rendered = {size: render(size) for size in sorted(set(PNG_SIZES) | set(ICO_SIZES) | set(ICO_LARGE))}
    images = [(size, bits, dib(rendered[size], bits)) for size in ICO_SIZES for bits in (4, 8, 32)]
    images += [(size, 32, png(rendered[size])) for size in ICO_LARGE]
    (folder / "bemvara.ico").write_bytes(ico(images))
    for size in PNG_SIZES:
        (folder / f"bemvara-{size}.png").write_bytes(png(rendered[size]))


def main_web(folder):
    for size in WEB_SIZES:
        (Path(folder) / f"icon-{size}.png").write_bytes(png(render(size)))
    # A home screen may cut the icon to a circle or a squircle: the picture
    # keeps inside the middle 80 %, on a background that fills the square.
    (Path(folder) / f"icon-maskable-{WEB_SIZES[-1]}.png").write_bytes(
        png(render(WEB_SIZES[-1], MASKABLE_MARGIN, MASKABLE_BACKGROUND)))


if __name__ == "__main__":
    if sys.argv[1:2] == ["--web"]:
        main_web(sys.argv[2])
    else:
        main(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
