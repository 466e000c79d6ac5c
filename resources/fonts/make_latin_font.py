#!/usr/bin/python3
"""Makes the window's Latin face: the printable ASCII of DejaVu Sans Mono,
hinting kept, renamed as its licence asks of a modified copy.

Song faces at dialog sizes draw "l" and "1" alike; this face tells l, 1 and
I apart, is half-width enough that "m" fits before its raised digit, and is
carried by every front end so each draws the same glyphs.

    make_latin_font.py [SOURCE.ttf] [OUT.ttf]   (needs python3-fonttools)
"""
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

FAMILY = "Bemvara Latin"
SOURCE = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"


def main(source=SOURCE, out="bemvara-latin.ttf"):
    options = subset.Options()
    options.hinting = True  # drawn crisp at 12 pixels, the hints matter
    options.layout_features = []
    # The copyright, licence and licence address travel with the face.
    options.name_IDs = [0, 1, 2, 3, 4, 5, 6, 13, 14]
    options.notdef_outline = True
    font = TTFont(source)
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=range(0x20, 0x7F))
    subsetter.subset(font)
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 3, 4, 6):
            text = {1: FAMILY, 3: FAMILY, 4: FAMILY, 6: FAMILY.replace(" ", "")}[record.nameID]
            names.setName(text, record.nameID, record.platformID, record.platEncID, record.langID)
    font["head"].created = font["head"].modified = 0  # the same bytes every time
    font.save(out, reorderTables=True)


if __name__ == "__main__":
    main(*sys.argv[1:])
