#!/usr/bin/env python3
"""Writes the command bars' cursors (32x32, black and white) from the
pictures below: X black, . white, blank transparent. Run it again after
changing a picture; the .cur files are committed."""
import struct
import sys
from pathlib import Path

ARROW = [
    "X",
    "XX",
    "X.X",
    "X..X",
    "X...X",
    "X....X",
    "X.....X",
    "X......X",
    "X.......X",
    "X........X",
    "X.....XXXXX",
    "X..X..X",
    "X.X X..X",
    "XX  X..X",
    "X    X..X",
    "     X..X",
    "      XX",
]


def canvas():
    return [[" "] * 32 for _ in range(32)]


def put(c, picture, x0, y0):
    for y, row in enumerate(picture):
        for x, ch in enumerate(row):
            if ch != " ":
                c[y0 + y][x0 + x] = ch


def box(c, x0, y0, w, h):
    # A dotted frame with a white inside: the command being dragged.
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            edge = y in (y0, y0 + h - 1) or x in (x0, x0 + w - 1)
            c[y][x] = ("X" if (x + y) % 2 == 0 else ".") if edge else "."


def plus(c, x0, y0):
    pic = [
        " XXX ",
        " X.X ",
        "XX.XX",
        "X...X",
        "XX.XX",
        " X.X ",
        " XXX ",
    ]
    put(c, [r.replace(" ", " ") for r in pic], x0, y0)


def no_entry(c, cx, cy, r):
    for y in range(cy - r - 1, cy + r + 2):
        for x in range(cx - r - 1, cx + r + 2):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            ring = (r - 2) ** 2 <= d2 <= r * r
            slash = abs((x - cx) - (cy - y)) <= 1 and d2 <= r * r
            if ring or slash:
                c[y][x] = "X"
            elif d2 <= (r + 1) ** 2 and (d2 > r * r):
                c[y][x] = "."


def drag():
    c = canvas()
    put(c, ARROW, 0, 0)
    box(c, 8, 18, 11, 8)
    return c, (0, 0)


def drag_copy():
    c, hot = drag()
    plus(c, 20, 20)
    return c, hot


def no_drop():
    c = canvas()
    put(c, ARROW, 0, 0)
    no_entry(c, 18, 20, 7)
    return c, (0, 0)


def edit_sizing():
    c = canvas()
    pic = [
        "        XX XX        ",
        "        X. .X        ",
        "    X   X. .X   X    ",
        "   XX   X. .X   XX   ",
        "  X.XXXXX. .XXXXX.X  ",
        " X.......   .......X ",
        "  X.XXXXX. .XXXXX.X  ",
        "   XX   X. .X   XX   ",
        "    X   X. .X   X    ",
        "        X. .X        ",
        "        XX XX        ",
    ]
    put(c, pic, 6, 11)
    return c, (16, 16)


def cur_bytes(c, hot):
    xor_rows, and_rows = [], []
    for row in reversed(c):
        xb = ab = 0
        xbits, abits = bytearray(4), bytearray(4)
        for x, ch in enumerate(row):
            bit = 0x80 >> (x % 8)
            if ch == " ":
                abits[x // 8] |= bit
            elif ch == ".":
                xbits[x // 8] |= bit
        xor_rows.append(bytes(xbits))
        and_rows.append(bytes(abits))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 1, 0, len(bits), 0, 0, 2, 0)
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    image = header + palette + bits
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 0, 0, hot[0], hot[1], len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    for name, make in (("dxbardrag", drag), ("dxbardragcopy", drag_copy),
                       ("dxbarnodrop", no_drop), ("dxbareditsizing", edit_sizing)):
        c, hot = make()
        (out / (name + ".cur")).write_bytes(cur_bytes(c, hot))


if __name__ == "__main__":
    main()
