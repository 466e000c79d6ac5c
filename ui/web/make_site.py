#!/usr/bin/env python3
"""Writes the site: the page with the window already drawn in it, from the
same description the module carries, so it shows before any script runs;
every other file under a name that carries its content's hash, so a page
only ever loads its own files and a host can keep them for a year; the
service worker that stores exactly those files; and a .gz (and .br, where
Debian's brotli is at hand) beside every file a server may send compressed.

    make_site.py DESCRIPTION.json MODULE_DIR ICON_DIR SOURCE_DIR SITE_DIR

MODULE_DIR holds bemvara.js (the module's glue), bemvara.wasm and the faces
the program carries, ICON_DIR the home-screen icons, SOURCE_DIR the page's
templates, style and script.
"""
import base64
import gzip
import hashlib
import html
import json
import shutil
import subprocess
import sys
from pathlib import Path

# After the description's own chain of faces, whatever serif face is there.
GENERIC_FACE = "serif"
# The limit of the desktop's text boxes, so a long paste behaves alike.
MAX_TEXT_LENGTH = 32767
# As page.css draws them: the window's border and the menu bar with its rule.
FRAME_BORDER = 1
MENU_BAR_HEIGHT = 20
# The window is drawn at whole steps of scale that fit the screen, up to
# where it would only grow coarse. Below PHONE_WIDTH it becomes one column.
SCALES = (1.25, 1.5, 1.75, 2)
SCREEN_MARGIN = 16
PHONE_WIDTH = 480
# On a phone: text at least this size, and so the raised "3" is placed.
PHONE_TEXT_PX = 16
DESKTOP_TEXT_PX = 12  # 9 pt
CLASS = {"label": "label", "text_box": "text-box", "push_button": "push-button", "line": "line"}
DESCRIPTION = "桥梁梁板荷载分布系数计算用的弯矩参数 r = 5.8·I·b²/(IT·l)：输入 I、IT、b、l，即得 r。可离线使用。"


def digest(data):
    return hashlib.sha256(data).digest()


def hashed_name(name, data):
    stem, dot, suffix = name.partition(".")
    return f"{stem}.{digest(data).hex()[:12]}{dot}{suffix}"


def integrity(data):
    return "sha256-" + base64.b64encode(digest(data)).decode()


def font_css(font):
    faces = ", ".join(json.dumps(face, ensure_ascii=False) for face in font["families"])
    return f"{font['weight']} {font['points']}pt {faces}, {GENERIC_FACE}"


def face_css(family, url):
    # Swapped in when it arrives: the boxes hold their places, so nothing
    # moves, and text shows at once in the Song face meanwhile.
    return (f"@font-face{{font-family:{json.dumps(family)};src:url({url}) format('truetype');"
            "font-display:swap;unicode-range:U+20-7E}")


class Window:
    """The description, and what follows from it: pixels, rows and markup."""

    def __init__(self, description):
        self.d = description
        self.per_pixel = description["twips_per_pixel"]
        self.boxes = [c for c in description["controls"] if c["kind"] == "text_box"]

    def px(self, twips):
        return int(twips / self.per_pixel)

    # -- the desktop window ---------------------------------------------------

    def control_css(self, control):
        left, top = self.px(control["left_twips"]), self.px(control["top_twips"])
        if control["kind"] == "line":
            # From its start to its end, one pixel thick.
            width = self.px(control["left_twips"] + control["width_twips"]) - left
            return f"left:{left}px;top:{top}px;width:{width}px;z-index:{control['layer']}"
        return (f"left:{left}px;top:{top}px;width:{self.px(control['width_twips'])}px;"
                f"height:{self.px(control['height_twips'])}px;z-index:{control['layer']}")

    def desktop_css(self):
        width = self.px(self.d["width_twips"])
        height = self.px(self.d["height_twips"])
        frame_width = width + 2 * FRAME_BORDER
        frame_height = height + MENU_BAR_HEIGHT + 2 * FRAME_BORDER
        rules = [f":root{{--window-width:{frame_width}px;--window-height:{frame_height}px;--scale:1}}",
                 f"#app{{font:{font_css(self.d['font'])}}}"]
        rules += [f"#{c['name']}{{font:{font_css(c['font'])}}}" for c in self.d["controls"] if c.get("font")]
        placed = [f".client{{width:{width}px;height:{height}px}}"]
        placed += [f"#{c['name']}{{{self.control_css(c)}}}" for c in self.d["controls"]]
        rules.append(f"@media (min-width:{PHONE_WIDTH}px){{{''.join(placed)}}}")
        for scale in SCALES:
            rules.append(f"@media (min-width:{max(PHONE_WIDTH, frame_width * scale + SCREEN_MARGIN):g}px) and "
                         f"(min-height:{frame_height * scale + SCREEN_MARGIN:g}px){{:root{{--scale:{scale}}}}}")
        return "\n".join(rules)

    # -- the phone's column -----------------------------------------------------

    def rows(self):
        """Rows of the column, in reading order, each a list of controls.

        A control as high as a box or lower, beside a box, shares that box's
        row; any other (the button, the line) is a row of its own. Rows are
        read from the top, and a row of its own counts from its bottom, so
        the button that stands beside the four inputs comes after them."""
        rows = {box["name"]: [] for box in self.boxes}
        own = []
        for control in self.d["controls"]:
            middle = control["top_twips"] + control["height_twips"] / 2
            beside = [box for box in self.boxes
                      if control["height_twips"] <= box["height_twips"]
                      and box["top_twips"] <= middle <= box["top_twips"] + box["height_twips"]]
            if control["kind"] != "text_box" and beside:
                rows[beside[0]["name"]].append(control)
            elif control["kind"] == "text_box":
                rows[control["name"]].append(control)
            else:
                own.append(control)
        keyed = [(box["top_twips"], rows[box["name"]]) for box in self.boxes]
        keyed += [(c["top_twips"] + c["height_twips"], [c]) for c in own]
        return [row for _, row in sorted(keyed, key=lambda entry: entry[0])]

    def phone_css(self):
        rules = []
        grid_row = 1
        scale = PHONE_TEXT_PX / DESKTOP_TEXT_PX
        for row in self.rows():
            box = next((c for c in row if c["kind"] == "text_box"), None)
            if box is None:  # a row of its own, across the column
                rules.append(f"#{row[0]['name']}{{grid-row:{grid_row};grid-column:1/-1}}")
                grid_row += 1
                continue
            symbol = next((c for c in row if c.get("describes") == box["name"]), None)
            if symbol and symbol["tooltip"]:  # the symbol's meaning, read as a caption
                rules.append(f"#{symbol['name']}-meaning{{grid-row:{grid_row};grid-column:1/-1}}")
                grid_row += 1
            units = sorted((c for c in row if c is not box and c is not symbol), key=lambda c: c["left_twips"])
            for control in row:
                column = 2 if control is box else 1 if control is symbol else 3
                rules.append(f"#{control['name']}{{grid-row:{grid_row};grid-column:{column}}}")
            # A unit that stands over another (the raised 3) keeps its offset.
            for under, over in zip(units, units[1:]):
                dx = (over["left_twips"] - under["left_twips"]) / self.per_pixel * scale
                dy = (over["top_twips"] - under["top_twips"]) / self.per_pixel * scale
                rules.append(f"#{over['name']}{{transform:translate({dx:g}px,{dy:g}px)}}")
            grid_row += 1
        return f"@media (max-width:{PHONE_WIDTH - 0.02}px){{{''.join(rules)}}}"

    # -- markup -----------------------------------------------------------------

    def control_html(self, control, index):
        name, text = control["name"], html.escape(control["text"])
        attributes = f'id="{name}" class="{CLASS[control["kind"]]}"'
        if control["tooltip"]:
            attributes += f' title="{html.escape(control["tooltip"])}"'
        if control["kind"] == "text_box":
            label = f' aria-label="{html.escape(control["accessible_name"])}"' if control["accessible_name"] else ""
            hint = ""
            if control["accessible_description"]:
                label += f' aria-describedby="{name}-hint"'
                hint = f'<span id="{name}-hint" hidden>{html.escape(control["accessible_description"])}</span>'
            first = " autofocus" if name == self.d["focus_order"][0] else ""
            return (f'<input type="text" {attributes} value="{text}" maxlength="{MAX_TEXT_LENGTH}" autocomplete="off"'
                    f' spellcheck="false" inputmode="decimal"{label}{first}>{hint}')
        if control["kind"] == "push_button":
            return f'<button type="button" {attributes} data-index="{index}">{text}</button>'
        if control["kind"] == "line":
            return f'<div {attributes} role="separator"></div>'
        if control.get("folded_into_name"):  # said in its box's name already
            attributes += ' aria-hidden="true"'
        made = f"<div {attributes}>{text}</div>"
        if control.get("describes") and control["tooltip"]:
            # Touch screens cannot hover: on a phone the meaning is shown.
            made += f'<div id="{name}-meaning" class="meaning" aria-hidden="true">{html.escape(control["tooltip"])}</div>'
        return made

    def menu_bar_html(self):
        menus = []
        for menu in self.d["menus"]:
            items = "".join(f'<button type="button" role="menuitem" id="{item["name"]}" class="menu-item" tabindex="-1">'
                            f'{html.escape(item["caption"])}</button>' for item in menu["items"])
            menus.append(f'<div class="menu"><button type="button" role="menuitem" id="{menu["name"]}" class="menu-title"'
                         f' aria-haspopup="menu" aria-expanded="false" tabindex="-1">{html.escape(menu["caption"])}</button>'
                         f'<div role="menu" aria-labelledby="{menu["name"]}" hidden>{items}</div></div>')
        return f'<div role="menubar" aria-label="{html.escape(self.d["title"])}">{"".join(menus)}</div>'

    def window_html(self):
        title = html.escape(self.d["title"])
        controls = "".join(self.control_html(c, i) for i, c in enumerate(self.d["controls"]))
        return (f'<div id="{self.d["name"]}" class="window">{self.menu_bar_html()}'
                f'<div class="client" role="form" aria-label="{title}">{controls}</div></div>'
                f'<dialog id="message" role="alertdialog" aria-labelledby="message-title" aria-describedby="message-text">'
                f'<h1 id="message-title">{title}</h1><p id="message-text"></p>'
                f'<form method="dialog"><button id="message-ok" value="ok">{html.escape(self.d["texts"]["message_ok"])}'
                f'</button></form></dialog>'
                # Where a new result is said to a screen reader.
                f'<div id="announcer" class="announcer" aria-live="polite"></div>')


def compress(path):
    data = path.read_bytes()
    path.with_name(path.name + ".gz").write_bytes(gzip.compress(data, 9, mtime=0))
    if shutil.which("brotli"):
        subprocess.run(["brotli", "--best", "--force", "--keep", str(path)], check=True)


def main(description_path, module_dir, icon_dir, source, site):
    module_dir, icon_dir, source, site = Path(module_dir), Path(icon_dir), Path(source), Path(site)
    description = json.loads(Path(description_path).read_text(encoding="utf-8"))
    window = Window(description)
    if site.exists():
        shutil.rmtree(site)
    site.mkdir(parents=True)
    files = {}  # name in the site -> bytes

    def publish(name, data):
        files[name] = data
        (site / name).write_bytes(data)
        return name

    wasm = publish(hashed_name("bemvara.wasm", (module_dir / "bemvara.wasm").read_bytes()),
                   (module_dir / "bemvara.wasm").read_bytes())
    faces = []
    for face in description["carried_faces"]:
        data = (module_dir / face["file"]).read_bytes()
        faces.append((face["family"], publish(hashed_name(face["file"], data), data)))
    glue = (module_dir / "bemvara.js").read_bytes()
    script = publish(hashed_name("bemvara.js", glue), glue)
    icons = {}
    for icon in sorted(icon_dir.glob("icon-*.png")):
        icons[icon.stem] = publish(hashed_name(icon.name, icon.read_bytes()), icon.read_bytes())
    manifest = (source / "manifest.webmanifest.in").read_text(encoding="utf-8")
    for stem, name in icons.items():
        manifest = manifest.replace(f"@{stem}@", name)
    manifest = manifest.replace("@TITLE@", description["title"]).replace("@DESCRIPTION@", DESCRIPTION).encode()
    manifest_name = publish(hashed_name("manifest.webmanifest", manifest), manifest)

    page_script = (source / "page.js").read_text(encoding="utf-8")
    # The module is asked for as soon as the head is read, by one request
    # that the page script then compiles (a preload is fetched twice by some
    # engines).
    head_script = f"self.bemvaraModule = fetch({json.dumps(wasm)});"
    inline = " ".join(f"'{integrity(script.encode())}'" for script in (head_script, page_script))
    csp = (f"default-src 'self'; script-src 'self' 'wasm-unsafe-eval' {inline}; "
           "style-src 'self' 'unsafe-inline'; img-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'")
    page = (source / "index.html.in").read_text(encoding="utf-8")
    for key, value in {
        "CSP": csp, "DESCRIPTION": html.escape(DESCRIPTION), "TITLE": html.escape(description["title"]),
        "MANIFEST": manifest_name, "ICON": icons["icon-192"], "SCRIPT": script,
        "STYLE": "".join(face_css(family, url) + "\n" for family, url in faces)
                 + (source / "page.css").read_text(encoding="utf-8") + window.desktop_css() + "\n" + window.phone_css(),
        "FACE_PRELOADS": "".join(f'<link rel="preload" href="{url}" as="font" type="font/ttf" crossorigin>'
                                 for _, url in faces),
        "WINDOW": window.window_html(),
        "DESCRIPTION_JSON": json.dumps(description, ensure_ascii=False).replace("</", "<\\/"),
        "PAGE_SCRIPT": page_script, "HEAD_SCRIPT": head_script,
    }.items():
        page = page.replace(f"@{key}@", value)
    index = publish("index.html", page.encode())

    # The page first, as "./", the address it is visited at; every file
    # with the hash its bytes must have.
    listed = [("./", files[index])] + [(name, data) for name, data in files.items() if name != index]
    version = hashlib.sha256(b"".join(digest(data) for _, data in listed)).hexdigest()[:16]
    worker = (source / "service-worker.js.in").read_text(encoding="utf-8")
    worker = worker.replace("@SITE_VERSION@", version).replace(
        "@SITE_FILES@", json.dumps([[name, integrity(data)] for name, data in listed], indent=2))
    publish("service-worker.js", worker.encode())

    for name in files:
        if not name.endswith(".png"):
            compress(site / name)


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])
