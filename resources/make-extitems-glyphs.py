#!/usr/bin/env python3
"""Writes the glyphs of the command bars' extended items (16x16, the font
marks 13x13; 24-bit BMP, magenta transparent) from the pictures below. Run it again after changing
a picture; the .bmp files are committed."""
import struct
from pathlib import Path

COLOURS = {
    " ": (255, 0, 255),  # transparent
    "K": (0, 0, 0),
    "G": (128, 128, 128),
    "W": (255, 255, 255),
    "F": (192, 192, 192),
    "B": (0, 0, 128),
    "Y": (255, 255, 0),
    "R": (192, 0, 0),
    "r": (255, 0, 0),
    "g": (0, 160, 0),
    "b": (0, 0, 255),
}

# A combo box whose field holds a picture and a line of text, its drop
# button at the right.
IMAGE_COMBO = [
    "                ",
    "                ",
    "                ",
    "                ",
    "GGGGGGGGGGGGGGGG",
    "GWWWWWWWWWWFFFFK",
    "GWBBBWWWWWWFFFFK",
    "GWBYBWKKKWWFKKFK",
    "GWBRBWWWWWWFFKFK",
    "GWBBBWKKKWWFFFFK",
    "GWWWWWWWWWWFFFFK",
    "GKKKKKKKKKKKKKKK",
    "                ",
    "                ",
    "                ",
    "                ",
]

# A combo box whose field holds a colour swatch in three colours.
COLOR_COMBO = [
    "                ",
    "                ",
    "                ",
    "                ",
    "GGGGGGGGGGGGGGGG",
    "GWWWWWWWWWWFFFFK",
    "GWrrrgggbbbFFFFK",
    "GWrrrgggbbbFKKFK",
    "GWrrrgggbbbFFKFK",
    "GWrrrgggbbbFFFFK",
    "GWWWWWWWWWWFFFFK",
    "GKKKKKKKKKKKKKKK",
    "                ",
    "                ",
    "                ",
    "                ",
]

# A combo box whose field holds a letter T.
FONT_NAME_COMBO = [
    "                ",
    "                ",
    "                ",
    "                ",
    "GGGGGGGGGGGGGGGG",
    "GWWWWWWWWWWFFFFK",
    "GWKKKKKWWWWFFFFK",
    "GWWWKWWWWWWFKKFK",
    "GWWWKWWWWWWFFKFK",
    "GWWWKWWWWWWFFFFK",
    "GWWWWWWWWWWFFFFK",
    "GKKKKKKKKKKKKKKK",
    "                ",
    "                ",
    "                ",
    "                ",
]

# The mark of a TrueType family: two letters T, one behind the other.
TRUETYPE_FONT = [
    "             ",
    "GGGGGGG      ",
    "GGGGGGG      ",
    "G  GG G      ",
    "   GKKKKKKK  ",
    "   GKKKKKKK  ",
    "   GKK KK K  ",
    "   GG  KK    ",
    "       KK    ",
    "       KK    ",
    "      KKKK   ",
    "             ",
    "             ",
]

# The mark of another family: a letter A.
NON_TRUETYPE_FONT = [
    "             ",
    "             ",
    "      B      ",
    "     BBB     ",
    "     B B     ",
    "    BB BB    ",
    "    B   B    ",
    "   BBBBBBB   ",
    "   B     B   ",
    "  BB     BB  ",
    " BBBB   BBBB ",
    "             ",
    "             ",
]

# A combo box over a small tree: a root with two children.
TREE_VIEW_COMBO = [
    "GGGGGGGGGGGGGGGG",
    "GWWWWWWWWWWFFFFK",
    "GWKKKKKWWWWFKKFK",
    "GWWWWWWWWWWFFKFK",
    "GKKKKKKKKKKKKKKK",
    "                ",
    " BB             ",
    " BB KKKKK       ",
    "  G             ",
    "  G             ",
    "  GGBB          ",
    "    BB KKKKK    ",
    "  G             ",
    "  GGBB          ",
    "    BB KKKKK    ",
    "                ",
]

# A combo box over a small calendar page, its top row red.
DATE_COMBO = [
    "GGGGGGGGGGGGGGGG",
    "GWWWWWWWWWWFFFFK",
    "GWKKKKKWWWWFKKFK",
    "GWWWWWWWWWWFFKFK",
    "GKKKKKKKKKKKKKKK",
    "                ",
    "  KKKKKKKKKKK   ",
    "  KRRRRRRRRRK   ",
    "  KRRRRRRRRRK   ",
    "  KWWWWWWWWWK   ",
    "  KWKWKWKWKWK   ",
    "  KWWWWWWWWWK   ",
    "  KWKWKWBWKWK   ",
    "  KWWWWWWWWWK   ",
    "  KKKKKKKKKKK   ",
    "                ",
]


def bmp(picture):
    height = len(picture)
    width = len(picture[0])
    row_size = (width * 3 + 3) & ~3
    pixels = b""
    for row in reversed(picture):
        line = b"".join(bytes(reversed(COLOURS[ch])) for ch in row)
        pixels += line + b"\0" * (row_size - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + len(header))
    return file_header + header + pixels


if __name__ == "__main__":
    here = Path(__file__).resolve().parent
    (here / "dxbarimagecombo.bmp").write_bytes(bmp(IMAGE_COMBO))
    (here / "dxbarcolorcombo.bmp").write_bytes(bmp(COLOR_COMBO))
    (here / "dxbarfontnamecombo.bmp").write_bytes(bmp(FONT_NAME_COMBO))
    (here / "dxbartreeviewcombo.bmp").write_bytes(bmp(TREE_VIEW_COMBO))
    (here / "dxbardatecombo.bmp").write_bytes(bmp(DATE_COMBO))
    (here / "dxbartruetypefont.bmp").write_bytes(bmp(TRUETYPE_FONT))
    (here / "dxbarnontruetypefont.bmp").write_bytes(bmp(NON_TRUETYPE_FONT))
