#!/usr/bin/env python3
"""Packages the site: the page, with the window already drawn in it (its
markup and style made by the module's own renderer, from the same
description the module carries), so it shows before any script runs;
every other file under a name that carries its content's hash, so a page
only ever loads its own files and a host can keep them for a year; the
service worker that stores exactly those files; and a .gz (and .br, where
Debian's brotli is at hand) beside every file a server may send compressed.

    make_site.py MODULE_DIR ICON_DIR SOURCE_DIR SITE_DIR [--downloads MARKUP FOLDER FILE...]

MODULE_DIR holds bemvara.js (the module's glue), bemvara.wasm (which
travels inside the page), the faces the program carries (cut down to the
window's Latin, also in the page) and their licence (fonts-LICENSE.txt),
and what
print_description printed: description.json (for the page's script),
window.site (for this), window.markup, window.style, window.media and
window.shown; ICON_DIR the home-screen
icons; SOURCE_DIR the page's templates, style and script. With
--downloads, a release: the FILEs (the desktop programs and their
SHA256SUMS) go into the site's FOLDER as they are, outside what the service
worker stores, and MARKUP (the renderer's list of them) below the window.
"""
import base64
import gzip
import hashlib
import html
import json
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

def digest(data):
    return hashlib.sha256(data).digest()


def hashed_name(name, data):
    stem, dot, suffix = name.partition(".")
    return f"{stem}.{digest(data).hex()[:12]}{dot}{suffix}"


def integrity(data):
    return "sha256-" + base64.b64encode(digest(data)).decode()


# What a result is written with; with the texts of the window and its
# messages, all the Latin the window draws.
NUMBER_CHARACTERS = "0123456789.+-E "


def window_face(face, characters):
    """The carried face cut down to the characters given, as WOFF2: small
    enough to travel in the page, so that the window's first paint already
    draws its letters in it. (Debian's fontTools, whichever Python runs
    this.)"""
    with tempfile.TemporaryDirectory() as work:
        cut = Path(work) / "face.woff2"
        subprocess.run(["/usr/bin/python3", "-m", "fontTools.subset", str(face), f"--text={characters}", "--flavor=woff2", "--no-hinting",
                        "--name-IDs=0,1,2,13,14", "--layout-features=", f"--output-file={cut}"],
                       check=True, stderr=subprocess.DEVNULL)
        return cut.read_bytes()


def face_css(family, data):
    # Blocking costs nothing: the face is in the page. What it lacks comes
    # from the faces after it in the window's chain.
    url = "data:font/woff2;base64," + base64.b64encode(data).decode()
    return f"@font-face{{font-family:{json.dumps(family)};src:url({url}) format('woff2');font-display:block}}"


def compress(path):
    data = path.read_bytes()
    path.with_name(path.name + ".gz").write_bytes(gzip.compress(data, 9, mtime=0))
    if shutil.which("brotli"):
        subprocess.run(["brotli", "--best", "--force", "--keep", str(path)], check=True)


def fill(template, values):
    for key, value in values.items():
        template = template.replace(f"@{key}@", value)
    return template


def main(module_dir, icon_dir, source, site, downloads_markup=None, downloads_folder=None, *downloads):
    module_dir, icon_dir, source, site = Path(module_dir), Path(icon_dir), Path(source), Path(site)
    description = (module_dir / "description.json").read_text(encoding="utf-8").rstrip("\n")
    window = json.loads((module_dir / "window.site").read_text(encoding="utf-8"))
    texts = window["texts"]
    printed = {part: (module_dir / f"window.{part}").read_text(encoding="utf-8").rstrip("\n")
               for part in ("markup", "commands", "style", "media")}
    desktop_media, phone_media, sideways_media = printed["media"].split("\n")
    if site.exists():
        shutil.rmtree(site)
    site.mkdir(parents=True)
    files = {}  # name in the site -> bytes

    def publish(name, data):
        files[name] = data
        (site / name).write_bytes(data)
        return name

    # Every Latin character the window and its messages show, so that each
    # text is drawn in one face.
    shown = (module_dir / "window.shown").read_text(encoding="utf-8")
    characters = "".join(sorted({c for c in shown + NUMBER_CHARACTERS if " " <= c <= "~"}))
    faces = [(face["family"], window_face(module_dir / face["file"], characters))
             for face in window["carried_faces"]]
    glue = (module_dir / "bemvara.js").read_bytes()
    script = publish(hashed_name("bemvara.js", glue), glue)
    page_code = (source / "page.js").read_bytes()
    page_script = publish(hashed_name("page.js", page_code), page_code)
    icons = {}
    for icon in sorted(icon_dir.glob("icon-*.png")):
        icons[icon.stem] = publish(hashed_name(icon.name, icon.read_bytes()), icon.read_bytes())
    manifest = fill((source / "manifest.webmanifest.in").read_text(encoding="utf-8"), {
        **icons, "NAME": json.dumps(texts["app_name"], ensure_ascii=False), "TITLE": json.dumps(window["title"]),
        "DESCRIPTION": json.dumps(texts["app_description"], ensure_ascii=False)}).encode()
    manifest_name = publish(hashed_name("manifest.webmanifest", manifest), manifest)

    # No script in the page itself, so the policy names no hashes and cannot
    # fall behind a rebuild.
    csp = ("default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self' 'unsafe-inline'; "
           "font-src 'self' data:; img-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'")
    style = fill((source / "page.css.in").read_text(encoding="utf-8"),
                 {"DESKTOP": desktop_media, "PHONE": phone_media, "SIDEWAYS": sideways_media})
    page = fill((source / "index.html.in").read_text(encoding="utf-8"), {
        "CSP": csp, "DESCRIPTION": html.escape(texts["app_description"]), "TITLE": html.escape(window["title"]),
        "MANIFEST": manifest_name, "ICON": icons["icon-192"], "SCRIPT": script, "PAGE_SCRIPT": page_script,
        "STYLE": "".join(face_css(family, data) + "\n" for family, data in faces) + style + printed["style"],
        "WINDOW": printed["markup"], "COMMANDS": printed["commands"], "NO_SCRIPT": html.escape(texts["needs_script"]),
        "VERSION": html.escape(texts["version_line"]),
        "NOT_STARTED": html.escape(texts["not_started"]),
        "DOWNLOADS": Path(downloads_markup).read_text(encoding="utf-8").rstrip("\n") if downloads_markup else "",
        "DESCRIPTION_JSON": description.replace("</", "<\\/"),
        # The module travels in the page, after the window: it arrives with
        # the first round trip, not a second.
        "MODULE": base64.b64encode((module_dir / "bemvara.wasm").read_bytes()).decode(),
    })
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
    # The carried faces' licence travels with them, as the licence asks;
    # like the downloads, it is not the app.
    shutil.copyfile(module_dir / "fonts-LICENSE.txt", site / "fonts-LICENSE.txt")
    # Not the app: never listed for the worker, and sent as they are.
    if downloads_folder:
        (site / downloads_folder).mkdir(parents=True)
    for download in map(Path, downloads):
        shutil.copyfile(download, site / downloads_folder / download.name)


if __name__ == "__main__":
    arguments = sys.argv[1:]
    if len(arguments) < 4 or (len(arguments) > 4 and (arguments[4] != "--downloads" or len(arguments) < 8)):
        sys.exit(__doc__)
    main(*arguments[:4], *arguments[5:])
