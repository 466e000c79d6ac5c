#!/usr/bin/python3
"""Makes the window's Latin face: the printable ASCII and the superscript
digits of DejaVu Sans Mono, hinting kept, with the full-width forms a
Chinese input method types built from those same glyphs, renamed as its
licence asks of a modified copy.

Song faces at dialog sizes draw "l" and "1" alike; this face tells l, 1 and
I apart, is half-width enough that "m" fits before its raised digit, and is
carried by every front end so each draws the same glyphs. A Win32 edit box
falls back to no other face, so every character the number reader accepts
("０．０２５", "0。025", the ideographic space) and every raised digit
("m³") must be in this one, or Windows draws it as an empty square.

    make_latin_font.py [SOURCE.ttf] [OUT.ttf]   (needs python3-fonttools)
"""
import copy
import sys

from fontTools import subset
from fontTools.ttLib import TTFont
from fontTools.ttLib.tables._g_l_y_f import Glyph

FAMILY = "Bemvara Latin"
SOURCE = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
SUPERSCRIPT_DIGITS = [0x2070, 0xB9, 0xB2, 0xB3, *range(0x2074, 0x207A)]
FULL_WIDTH_ASCII = range(0xFF01, 0xFF5F)  # U+0021..U+007E, twice as wide
IDEOGRAPHIC_SPACE, IDEOGRAPHIC_STOP, HALF_WIDTH_STOP = 0x3000, 0x3002, 0xFF61


def add_glyph(font, name, codepoint, advance, base=None, x=0, y=0, hinted=True):
    """A glyph with the outline and hints of `base` moved by x, y font
    units, or an empty one. A copy, not a reference: a referenced glyph
    would be drawn a fraction of a pixel off, and at dialog sizes shaped
    unlike the one it copies. Hints that hold a glyph at a height (the
    degree sign's ring at the capitals' top) would put a glyph moved up or
    down back: such a copy goes unhinted."""
    glyf = font["glyf"]
    glyph = Glyph()
    glyph.numberOfContours = 0
    if base is not None:
        glyph = copy.deepcopy(glyf[base])
        glyph.coordinates.translate((x, y))
        if not hinted:
            glyph.removeHinting()
        glyph.recalcBounds(glyf)
    glyf.glyphs[name] = glyph
    glyf.glyphOrder.append(name)
    font.setGlyphOrder(glyf.glyphOrder)
    font["hmtx"][name] = (advance, glyph.xMin if base is not None else 0)
    for table in font["cmap"].tables:
        if table.isUnicode():
            table.cmap[codepoint] = name


def add_wide_forms(font):
    cmap = font.getBestCmap()
    half = font["hmtx"][cmap[ord("0")]][0]
    # A full-width form is its ASCII glyph near the middle of a double
    # cell: a quarter em in, which is a whole number of pixels at 12 and 24
    # pixels (9 points at 96 and 192 dpi), so it is drawn as the ASCII glyph
    # is, where the middle itself would fall between pixels.
    quarter_em = font["head"].unitsPerEm // 4
    for codepoint in FULL_WIDTH_ASCII:
        add_glyph(font, f"uni{codepoint:04X}", codepoint, 2 * half, cmap[codepoint - 0xFF01 + 0x21], quarter_em)
    add_glyph(font, f"uni{IDEOGRAPHIC_SPACE:04X}", IDEOGRAPHIC_SPACE, 2 * half)
    # The ideographic stop: the degree sign's ring brought down onto the
    # baseline, at the left of its cell as a Chinese face sets it.
    ring = cmap[0xB0]
    drop = -font["glyf"][ring].yMin
    add_glyph(font, f"uni{IDEOGRAPHIC_STOP:04X}", IDEOGRAPHIC_STOP, 2 * half, ring, 0, drop, hinted=False)
    add_glyph(font, f"uni{HALF_WIDTH_STOP:04X}", HALF_WIDTH_STOP, half, ring, 0, drop, hinted=False)


def main(source=SOURCE, out="bemvara-latin.ttf"):
    options = subset.Options()
    options.hinting = True  # drawn crisp at 12 pixels, the hints matter
    options.layout_features = []
    # The copyright, licence and licence address travel with the face.
    options.name_IDs = [0, 1, 2, 3, 4, 5, 6, 13, 14]
    options.notdef_outline = True
    font = TTFont(source, recalcTimestamp=False)
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=[*range(0x20, 0x7F), *SUPERSCRIPT_DIGITS, 0xB0])
    subsetter.subset(font)
    add_wide_forms(font)
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 3, 4, 6):
            text = {1: FAMILY, 3: FAMILY, 4: FAMILY, 6: FAMILY.replace(" ", "")}[record.nameID]
            names.setName(text, record.nameID, record.platformID, record.platEncID, record.langID)
    font["OS/2"].recalcUnicodeRanges(font)
    font["head"].created = font["head"].modified = 0  # the same bytes every time
    font.save(out, reorderTables=True)


if __name__ == "__main__":
    main(*sys.argv[1:])
