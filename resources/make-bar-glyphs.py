#!/usr/bin/env python3
"""Writes the glyphs of an MDI child's system-menu entries (16x16, 24 bits,
magenta transparent) from the pictures below: X black, blank transparent.
Run it again after changing a picture; the .bmp files are committed."""
import struct
import sys
from pathlib import Path

CLOSE = [
    "",
    "",
    "",
    "",
    "    XX    XX",
    "     XX  XX",
    "      XXXX",
    "       XX",
    "      XXXX",
    "     XX  XX",
    "    XX    XX",
]

RESTORE = [
    "",
    "",
    "",
    "      XXXXXX",
    "      XXXXXX",
    "      X    X",
    "    XXXXXX X",
    "    XXXXXX X",
    "    X    XXX",
    "    X    X",
    "    X    X",
    "    XXXXXX",
]

MAXIMIZE = [
    "",
    "",
    "",
    "   XXXXXXXXX",
    "   XXXXXXXXX",
    "   X       X",
    "   X       X",
    "   X       X",
    "   X       X",
    "   X       X",
    "   X       X",
    "   XXXXXXXXX",
]

MINIMIZE = [
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "    XXXXXX",
    "    XXXXXX",
]

MAGENTA = (255, 0, 255)


def bmp_bytes(picture):
    rows = []
    for y in reversed(range(16)):
        line = picture[y] if y < len(picture) else ""
        row = bytearray()
        for x in range(16):
            r, g, b = (0, 0, 0) if x < len(line) and line[x] == "X" else MAGENTA
            row += bytes((b, g, r))
        rows.append(bytes(row))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 24, 0, len(bits), 0, 0, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    return header + info + bits


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    for name, picture in (("dxbarclose", CLOSE), ("dxbarrestore", RESTORE), ("dxbarmaximize", MAXIMIZE),
                          ("dxbarminimize", MINIMIZE)):
        (out / (name + ".bmp")).write_bytes(bmp_bytes(picture))


if __name__ == "__main__":
    main()
