#!/usr/bin/env python3
"""Writes the dial window's bitmaps (24-bit BMP): the telephone of the
progress box (32x32) and the glyphs of the two phonebook buttons (16x16).
Magenta is the transparent colour; every picture has it in its bottom-left
pixel. Run it again after changing a picture; the .bmp files are
committed."""
import struct
import sys
from pathlib import Path

PALETTE = {
    ".": (255, 0, 255),  # transparent
    "K": (0, 0, 0),
    "D": (64, 64, 64),
    "G": (128, 128, 128),
    "L": (192, 192, 192),
    "W": (255, 255, 255),
    "R": (200, 24, 24),
    "r": (128, 0, 0),
    "P": (255, 128, 128),
    "Y": (255, 224, 0),
    "O": (208, 128, 0),
    "B": (0, 64, 192),
    "C": (96, 160, 255),
}


def canvas(w, h):
    return [["."] * w for _ in range(h)]


def rect(c, x0, y0, x1, y1, ch):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            c[y][x] = ch


def solid(c, rects, fill, edge="K"):
    # The union of the rectangles, outlined: edge first, then the fill one
    # pixel inside each rectangle (overlaps leave no inner edges).
    for r in rects:
        rect(c, *r, edge)
    for x0, y0, x1, y1 in rects:
        rect(c, x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)


def clear(c, points):
    for x, y in points:
        c[y][x] = "."


def telephone():
    c = canvas(32, 32)
    # The handset: a bar with its two ends bent down.
    solid(c, [(3, 3, 28, 8), (3, 3, 10, 11), (21, 3, 28, 11)], "R")
    clear(c, [(3, 3), (28, 3), (3, 11), (10, 11), (21, 11), (28, 11)])
    rect(c, 5, 4, 20, 4, "P")
    rect(c, 4, 5, 4, 9, "P")
    rect(c, 6, 7, 25, 7, "r")
    rect(c, 5, 10, 9, 10, "r")
    rect(c, 22, 10, 26, 10, "r")
    # The cradle and the body, widening to the foot.
    solid(c, [(12, 10, 19, 14)], "L")
    solid(c, [(9, 13, 22, 16), (7, 15, 24, 19), (5, 18, 26, 28)], "R")
    clear(c, [(5, 18), (26, 18), (5, 28), (26, 28)])
    rect(c, 10, 14, 21, 14, "P")
    rect(c, 6, 27, 25, 27, "r")
    # The keypad.
    solid(c, [(9, 18, 22, 27)], "D")
    for ky in (19, 22, 25):
        for kx in (11, 15, 19):
            rect(c, kx, ky, kx + 1, ky + 1, "W")
    return c


def page(c, x0, y0, x1, y1, fold):
    solid(c, [(x0, y0, x1, y1)], "W")
    # The folded corner at the top right.
    for i in range(fold + 1):
        d = x1 - fold + i
        c[y0 + i][d] = "K"
        for x in range(d + 1, x1 + 1):
            if i < fold:
                c[y0 + i][x] = "."
        for x in range(x1 - fold + 1, d):
            c[y0 + i][x] = "L"
        c[y0 + i][x1 - fold] = "K"
    rect(c, x1 - fold, y0 + fold, x1, y0 + fold, "K")


def properties():
    c = canvas(16, 16)
    page(c, 1, 1, 11, 14, 3)
    for y in (5, 7, 9, 11):
        rect(c, 3, y, 7 if y == 11 else 8, y, "G")
    # A pencil across the lower right corner, tip at the bottom left.
    for i in range(7):
        x, y = 14 - i, 3 + i
        c[y][x] = "O"
        c[y][x - 1] = "Y"
        c[y + 1][x - 1] = "O"
    c[2][14] = "K"
    c[2][15] = "K"
    c[3][15] = "K"
    c[10][7] = "D"
    c[11][6] = "K"
    c[10][6] = "D"
    return c


def new_entry():
    c = canvas(16, 16)
    page(c, 1, 4, 9, 15, 3)
    for y in (8, 10, 12):
        rect(c, 3, y, 6, y, "G")
    # A spark at the top right: something new.
    for x, y, ch in [
        (12, 0, "Y"), (12, 1, "Y"), (12, 5, "Y"), (12, 6, "Y"),
        (9, 3, "Y"), (10, 3, "Y"), (14, 3, "Y"), (15, 3, "Y"),
        (11, 2, "O"), (13, 2, "O"), (11, 4, "O"), (13, 4, "O"),
        (12, 2, "W"), (11, 3, "W"), (12, 3, "W"), (13, 3, "W"), (12, 4, "W"),
        (10, 1, "Y"), (14, 1, "Y"), (10, 5, "Y"), (14, 5, "Y"),
    ]:
        c[y][x] = ch
    return c


def bmp_bytes(c):
    h, w = len(c), len(c[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(c):
        line = bytearray()
        for ch in row:
            r, g, b = PALETTE[ch]
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    for name, pic in [("dialphone.bmp", telephone()), ("dialprops.bmp", properties()),
                      ("dialnew.bmp", new_entry())]:
        assert pic[-1][0] == ".", name
        (out / name).write_bytes(bmp_bytes(pic))


if __name__ == "__main__":
    main()
