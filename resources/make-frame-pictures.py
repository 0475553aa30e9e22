#!/usr/bin/env python3
"""Writes the main window's and the start-up windows' pictures:

  splashtop.jpg   310x80   the banner of the splash and about windows
  splashpic.jpg   320x140  the picture under it
  imgsmall.bmp    16x16 strip: the small images (file, folders, link, profile)
  imagebars.bmp   16x16 strip: the glyphs of the actions, in the order of
                  resources/Frameimages.h
  nembra.ico      the program's icon (16x16, 32x32)
  connection.ico  the connection windows' icon (16x16, 32x32)

Everything is drawn here: pixel art for the 16x16 strips (magenta is the
transparent colour, in the bottom-left pixel of every image), a small
supersampling rasteriser for the pictures and icons, and a baseline JPEG
encoder. Run it again after changing a picture (optionally with an output
folder and --preview for an enlarged PNG of the strips); the outputs are
committed."""
import math
import struct
import sys
import zlib
from pathlib import Path

# ---------------------------------------------------------------- pixel art

PALETTE = {
    ".": (255, 0, 255),  # transparent
    "K": (0, 0, 0),
    "D": (64, 64, 64),
    "G": (128, 128, 128),
    "L": (192, 192, 192),
    "W": (255, 255, 255),
    "y": (150, 104, 0),     # folder edge
    "Y": (255, 208, 72),    # folder
    "H": (255, 240, 168),   # folder highlight
    "B": (0, 80, 208),
    "C": (120, 184, 255),
    "N": (0, 32, 112),
    "R": (224, 32, 32),
    "r": (128, 0, 0),
    "E": (0, 176, 48),
    "e": (0, 96, 16),
    "A": (150, 232, 150),
    "O": (200, 112, 0),
    "S": (255, 224, 0),
    "T": (240, 196, 150),
    "M": (120, 64, 16),
}


def canvas(w=16, h=16):
    return [["."] * w for _ in range(h)]


def put(c, art, x0=0, y0=0):
    """Copies a picture of rows of palette letters; '.' is left through."""
    for y, row in enumerate(art):
        for x, ch in enumerate(row):
            if ch != "." and 0 <= y0 + y < len(c) and 0 <= x0 + x < len(c[0]):
                c[y0 + y][x0 + x] = ch


def rect(c, x0, y0, x1, y1, ch):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            c[y][x] = ch


def art(text):
    rows = [r for r in text.strip("\n").split("\n")]
    return [r.strip() for r in rows]


def polar(c, cx, cy, inside, fill, edge):
    """Fills the pixels whose centre lies inside (a function of dx, dy),
    then outlines them with edge where a 4-neighbour is outside."""
    h, w = len(c), len(c[0])
    on = [[inside(x + 0.5 - cx, y + 0.5 - cy) for x in range(w)] for y in range(h)]
    for y in range(h):
        for x in range(w):
            if not on[y][x]:
                continue
            border = any(not (0 <= x + dx < w and 0 <= y + dy < h) or not on[y + dy][x + dx]
                         for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            c[y][x] = edge if border else fill


# Shapes the glyphs are made of.

PAGE = art("""
..KKKKKKKK......
..KWWWWWWKK.....
..KWWWWWWKLK....
..KWGGGGWKLLK...
..KWWWWWWKKKKK..
..KWGGGGGGGGWK..
..KWWWWWWWWWWK..
..KWGGGGGGGWWK..
..KWWWWWWWWWWK..
..KWGGGGGGGGWK..
..KWWWWWWWWWWK..
..KWGGGGGWWWWK..
..KWWWWWWWWWWK..
..KWWWWWWWWWWK..
..KKKKKKKKKKKK..
................
""")

FOLDER = art("""
................
................
.yyyyy..........
yHHHHHy.........
yHYYYYHyyyyyyyy.
yHYYYYYHHHHHHHy.
yHYYYYYYYYYYYYy.
yHYYYYYYYYYYYYy.
yHYYYYYYYYYYYYy.
yHYYYYYYYYYYYYy.
yHYYYYYYYYYYYYy.
yHYYYYYYYYYYYYy.
yHYYYYYYYYYYYYy.
yyyyyyyyyyyyyyy.
................
................
""")

OPEN_FOLDER = art("""
................
................
.yyyyy..........
yHHHHHy.........
yHYYYYHyyyyyyy..
yHYYYYYHHHHHHy..
yHYYYyyyyyyyyyyy
yHYYyHHHHHHHHHHy
yHYYyHYYYYYYYYy.
yHYyHYYYYYYYYYy.
yHYyHYYYYYYYYy..
yHyHYYYYYYYYYy..
yHyHYYYYYYYYYy..
yyyyyyyyyyyyy...
................
................
""")

# Two folders, one behind the other: a whole tree.
FOLDERS = art("""
....yyyy........
...yHHHHy.......
...yHYYYHyyyyyy.
.yyyyHYYYYYYYYy.
yHHHHyyyyyyyyYy.
yHYYYHyyyyyyyYy.
yHYYYYHHHHHHyYy.
yHYYYYYYYYYYyYy.
yHYYYYYYYYYYyYy.
yHYYYYYYYYYYyyy.
yHYYYYYYYYYYy...
yHYYYYYYYYYYy...
yHYYYYYYYYYYy...
yyyyyyyyyyyyy...
................
................
""")

GLOBE = art("""
....NNNNN....
..NNCCEECNN..
.NCEEECCCCCN.
.NCEEEECCEEN.
NCCEEECCCEEEN
NCCCEECCCEEEN
NCCCCECCCCEEN
NCCCCEECCCCCN
NCCCCEEECCCCN
.NCCCEEEECCN.
.NCCCCEEECCN.
..NNCCCCCNN..
....NNNNN....
""")

SMALL_GLOBE = art("""
..NNN..
.NCECN.
NEECCEN
NCECCEN
NCCEECN
.NCCEN.
..NNN..
""")

UP = art("""
...e...
..eEe..
.eEEEe.
eEEEEEe
eeEEEee
.eEEEe.
.eEEEe.
.eeeee.
""")

DOWN = art("""
.NNNNN.
.NBBBN.
.NBBBN.
NNBBBNN
NBBBBBN
.NBBBN.
..NBN..
...N...
""")

RIGHT = art("""
...N....
...NN...
NNNNBN..
NBBBBBN.
NBBBBBBN
NBBBBBN.
NNNNBN..
...NN...
...N....
""")

CROSS = art("""
rR...Rr
RRR.RRR
.RRRRR.
..RRR..
.RRRRR.
RRR.RRR
rR...Rr
""")

STAR = art("""
...S...
.S.O.S.
..SWS..
SOWWWOS
..SWS..
.S.O.S.
...S...
""")

PLUS = art("""
..eee..
..eEe..
eeeEeee
eEEEEEe
eeeEeee
..eEe..
..eee..
""")

PENCIL = art("""
......rr
.....rRRr
....KSKr.
...KSSK..
..KSSK...
.KSSK....
KTTK.....
KKK......
""")

KEY = art("""
.OOO.....
OSSSO....
OS.SOOOOO
OSSSOSSSS
.OOO.OSOS
......O.O
""")

INFO = art("""
..NNN..
.NBWBN.
NBBBBBN
NBWWBBN
NBBWBBN
.NBWBN.
..NNN..
""")


def glyph(base, *overlays):
    c = canvas()
    if base:
        put(c, base)
    for pic, x, y in overlays:
        put(c, pic, x, y)
    return c


def with_progress(c, fill):
    """A page with a half-done bar across its lower part."""
    rect(c, 3, 11, 12, 13, "K")
    rect(c, 4, 12, 11, 12, "W")
    rect(c, 4, 12, 7, 12, fill)
    return c


def gear(fill="L", edge="D"):
    c = canvas()

    def inside(dx, dy):
        r = math.hypot(dx, dy)
        a = math.atan2(dy, dx)
        tooth = math.cos(a * 8) > 0.3
        return 2.3 < r < (7.4 if tooth else 5.6)

    polar(c, 8, 8, inside, fill, edge)
    return c


def refresh(fill, edge):
    c = canvas()

    def inside(dx, dy):
        r = math.hypot(dx, dy)
        a = math.degrees(math.atan2(dy, dx)) % 360
        gap = 20 < a < 60 or 200 < a < 240
        return 3.6 < r < 6.6 and not gap

    polar(c, 8, 8, inside, fill, edge)
    # The arrow heads at the ends of the two arcs (turning clockwise).
    put(c, art(f"""
.{edge}{fill}{edge}.
{edge}{fill}{fill}{fill}{edge}
.{edge}{fill}{edge}.
..{edge}..
"""), 11, 7)
    put(c, art(f"""
..{edge}..
.{edge}{fill}{edge}.
{edge}{fill}{fill}{fill}{edge}
.{edge}{fill}{edge}.
"""), 0, 5)
    return c


def disc_letter(letter_art):
    c = canvas()
    polar(c, 8, 8, lambda dx, dy: math.hypot(dx, dy) < 7.6, "B", "N")
    put(c, letter_art, 5, 3)
    return c


QUESTION = art("""
.WWWW.
WW..WW
....WW
...WW.
..WW..
..WW..
......
..WW..
..WW..
""")

LETTER_I = art("""
..WW..
..WW..
......
.WWW..
..WW..
..WW..
..WW..
..WW..
.WWWW.
""")


def card(c, x, y):
    put(c, art("""
KKKKKKKKKKKK
KWWWWWWWWWWK
KWTTWWWWWWWK
KWTTWGGGGGWK
KWBBWWWWWWWK
KBBBBWGGGGWK
KBBBBWWWWWWK
KKKKKKKKKKKK
"""), x, y)


def monitor(c, x, y):
    put(c, art("""
KKKKKKKKKK
KLLLLLLLLK
KLBBBBBBLK
KLBCCBBBLK
KLBCBBBBLK
KLBBBBBBLK
KLLLLLLLLK
KKKKKKKKKK
...KLLK...
.KKKKKKKK.
"""), x, y)


def server(c, x, y):
    put(c, art("""
KKKKKK
KLLLLK
KDDDDK
KLLLLK
KDDDDK
KLLLLK
KLLEKK
KLLLLK
KKKKKK
"""), x, y)


TINY = {  # 4x5 letters, Q 3x5
    "D": ["WWW.", "W..W", "W..W", "W..W", "WWW."],
    "N": ["W..W", "WW.W", "W.WW", "W..W", "W..W"],
    "S": [".WWW", "W...", ".WW.", "...W", "WWW."],
    "Q": [".W.", "W.W", "W.W", "WW.", ".WW"],
}


def tiny_text(c, text, x, y, ch="W"):
    for i, letter in enumerate(text):
        put(c, [r.replace("W", ch) for r in TINY[letter]], x + 5 * i, y)


def small_images():
    """Images 0..5 of the main window's small list."""
    link = glyph(FOLDER)
    put(link, art("""
KKKKKKKK
KWWWWWWK
KWWKKKKK
KWWWWKKK
KWWWKWKK
KWWKWWKK
KWKWWWWK
KKKKKKKK
"""), 0, 7)
    profile = canvas()
    monitor(profile, 0, 1)
    put(profile, SMALL_GLOBE, 9, 8)
    return [
        glyph(PAGE),                                   # 0 a file
        glyph(OPEN_FOLDER),                            # 1 an open folder
        glyph(FOLDER),                                 # 2 a directory
        glyph(FOLDER, (UP, 8, 7)),                     # 3 ".."
        link,                                          # 4 a link
        profile,                                       # 5 a profile
    ]


def bar_images():
    """The glyphs of the actions, in the order of Frameimages.h."""
    g = {}
    g["QuickCon"] = glyph(art("""
.........KKKKK..
........KSSSSK..
.......KSSSSK...
......KSSSSK....
.....KSSSSK.....
....KSSSSKKKKK..
...KSSSSSSSSSK..
...KKKKKSSSSK...
.......KSSSK....
......KSSSK.....
.....KSSK.......
....KSSK........
....KSK.........
...KSK..........
...KK...........
................
"""))
    g["New"] = glyph(GLOBE, (PLUS, 9, 9))
    g["CloseActive"] = glyph(GLOBE, (CROSS, 9, 9))
    g["Preferences"] = gear()
    np = canvas()
    card(np, 0, 6)
    put(np, STAR, 9, 0)
    g["NewProfile"] = np
    pr = canvas()
    card(pr, 3, 2)
    card(pr, 0, 6)
    g["Profiles"] = pr
    g["Exit"] = glyph(art("""
...MMMMMMMMM....
...MTTTTTTTM....
...MTMMMMMTM....
...MTM...MTM....
...MTM...MTM....
...MTM...MTM.e..
...MTM...MTM.ee.
...MTMeeeeeeeEe.
...MTMeEEEEEEEEe
...MTMeeeeeeeEe.
...MTM...MTM.ee.
...MTM...MTM.e..
...MTM...MTM....
...MTMMMMMTM....
..MMMMMMMMMMMM..
................
"""))
    g["UpDir"] = glyph(FOLDER, (UP, 8, 7))
    g["ChangeDir"] = glyph(FOLDER, (RIGHT, 8, 6))
    g["MkdDir"] = glyph(FOLDER, (STAR, 9, 0), (SMALL_GLOBE, 8, 8))
    g["NewLocalDir"] = glyph(FOLDER, (STAR, 9, 0))
    g["RenameDir"] = glyph(FOLDER, (PENCIL, 7, 7))
    g["RemoveDir"] = glyph(FOLDER, (CROSS, 9, 8))
    g["RefreshRemote"] = refresh("C", "B")
    g["RefreshLocal"] = refresh("A", "e")
    g["UploadFile"] = glyph(PAGE, (UP, 9, 8))
    g["ResumeUp"] = glyph(with_progress(glyph(PAGE), "E"), (UP, 9, 8))
    g["DownloadFile"] = glyph(PAGE, (DOWN, 9, 8))
    g["ResumeDown"] = glyph(with_progress(glyph(PAGE), "B"), (DOWN, 9, 8))
    g["DeleteRemote"] = glyph(PAGE, (CROSS, 9, 9))
    g["RenameRemoteFile"] = glyph(PAGE, (PENCIL, 7, 7))
    g["BatchUpload"] = glyph(FOLDERS, (UP, 9, 8))
    g["BatchDownload"] = glyph(FOLDERS, (DOWN, 9, 8))
    g["BatchDelete"] = glyph(FOLDERS, (CROSS, 9, 9))
    g["SaveLog"] = glyph(art("""
................
.NNNNNNNNNNNNN..
.NBBWWWWWWWBBBN.
.NBBWWWWWWWBBBN.
.NBBWGGGGGWBBBN.
.NBBWWWWWWWBBBN.
.NBBWGGGGGWBBBN.
.NBBWWWWWWWBBBN.
.NBBBBBBBBBBBBN.
.NBBLLLLLLLLBBN.
.NBBLLDDLLLLBBN.
.NBBLLDDLLLLBBN.
.NBBLLDDLLLLBBN.
.NNNNNNNNNNNNNN.
................
................
"""))
    g["DirInfo"] = glyph(FOLDER, (INFO, 9, 8))
    g["Chmod"] = glyph(PAGE, (KEY, 7, 10))
    g["ChmodDir"] = glyph(FOLDER, (KEY, 7, 10))
    g["Quote"] = glyph(art("""
................
KKKKKKKKKKKKKKKK
KBBBBBBBBBBBWBWK
KKKKKKKKKKKKKKKK
KKKKKKKKKKKKKKKK
KKAKKKKKKKKKKKKK
KKKAKKKKKKKKKKKK
KKKKAKKKKKKKKKKK
KKKAKKKKKKKKKKKK
KKAKKAAAAKKKKKKK
KKKKKKKKKKKKKKKK
KKKKKKKKKKKKKKKK
KKKKKKKKKKKKKKKK
KKKKKKKKKKKKKKKK
................
................
"""))
    g["ListView"] = glyph(art("""
................
.BBB............
.BCB.KKKKKKKKK..
.BBB............
................
.BBB............
.BCB.KKKKKKKKK..
.BBB............
................
.BBB............
.BCB.KKKKKKKKK..
.BBB............
................
.BBB............
.BCB.KKKKKKKKK..
.BBB............
"""))
    g["DetailView"] = glyph(art("""
................
LLLLLLLLLLLLLLLL
LGGGGGGLGGGGLGGL
LLLLLLLLLLLLLLLL
................
.BB.KKKKK.KKK.KK
................
.BB.KKKKK.KKK.KK
................
.BB.KKKKK.KKK.KK
................
.BB.KKKKK.KKK.KK
................
.BB.KKKKK.KKK.KK
................
................
"""))
    g["LgIconView"] = glyph(art("""
................
.NNNNNN..NNNNNN.
.NCCCCN..NCCCCN.
.NCBBCN..NCBBCN.
.NCBBCN..NCBBCN.
.NCCCCN..NCCCCN.
.NNNNNN..NNNNNN.
................
................
.NNNNNN..NNNNNN.
.NCCCCN..NCCCCN.
.NCBBCN..NCBBCN.
.NCBBCN..NCBBCN.
.NCCCCN..NCCCCN.
.NNNNNN..NNNNNN.
................
"""))
    g["SmIconView"] = glyph(art("""
................
................
.BBB.KKK.BBB.KKK
.BCB.....BCB....
.BBB.....BBB....
................
.BBB.KKK.BBB.KKK
.BCB.....BCB....
.BBB.....BBB....
................
.BBB.KKK.BBB.KKK
.BCB.....BCB....
.BBB.....BBB....
................
................
................
"""))
    g["Toolbars"] = glyph(art("""
................
KKKKKKKKKKKKKKKK
KBBBBBBBBBBBBBBK
KKKKKKKKKKKKKKKK
KLLLLLLLLLLLLLLK
KLRRLEELBBLLLLLK
KLRRLEELBBLLLLLK
KLLLLLLLLLLLLLLK
KKKKKKKKKKKKKKKK
KWWWWWWWWWWWWWWK
KWWWWWWWWWWWWWWK
KWWWWWWWWWWWWWWK
KWWWWWWWWWWWWWWK
KWWWWWWWWWWWWWWK
KKKKKKKKKKKKKKKK
................
"""))
    st = canvas()
    server(st, 0, 4)
    server(st, 10, 4)
    put(st, art("""
..e.
EEEe
..e.
"""), 6, 6)
    put(st, art("""
.N..
NBBB
.N..
"""), 6, 10)
    g["StoS"] = st
    dns = canvas()
    polar(dns, 8, 8, lambda dx, dy: abs(dx) < 7.6 and abs(dy) < 5.2, "B", "N")
    tiny_text(dns, "DNS", 1, 6)
    g["DNS"] = dns
    ping = canvas()

    def wave(dx, dy):
        r = math.hypot(dx, dy)
        a = abs(math.degrees(math.atan2(dy, dx)))
        return a < 50 and any(lo < r < lo + 1.4 for lo in (4.5, 8.0, 11.5))

    polar(ping, 2, 8, wave, "E", "E")
    put(ping, art("""
.RR.
RRRR
RRRR
.RR.
"""), 0, 6)
    g["Ping"] = ping
    g["UrlInfo"] = glyph(PAGE, (SMALL_GLOBE, 9, 9))
    g["Finger"] = glyph(art("""
................
................
................
.....KKKKKKK....
....KTTTTTTTK...
.KKKTTTKKKKKKKKK
KTTTTTTTTTTTTTTK
KTTTTTKKKKKKKKK.
KTTTTTTTTTK.....
KTTTTTKKKKK.....
KTTTTTTTTTK.....
KTTTTTKKKK......
.KTTTTTTTK......
..KKKKKKK.......
................
................
"""))
    look = canvas()
    polar(look, 6, 6, lambda dx, dy: math.hypot(dx, dy) < 5.2, "C", "N")
    put(look, art("""
.WW
W..
W..
"""), 3, 3)
    put(look, art("""
..MM.
.MMMM
MMMMM
MMMM.
.MM..
"""), 9, 9)
    put(look, art("""
MM....
MMM...
.MMM..
..MMM.
...MMM
....MM
"""), 10, 10)
    g["Lookup"] = look
    g["Dialer"] = glyph(art("""
................
..rrrrrrrrrrrr..
.rRRRRRRRRRRRRr.
rRRrrrrrrrrrrRRr
rRRr..rrrr..rRRr
.rr..rRRRRr..rr.
....rRRRRRRr....
...rRRRRRRRRr...
..rRRWRRWRRWRr..
..rRRRRRRRRRRr..
..rRRWRRWRRWRr..
..rRRRRRRRRRRr..
..rRRWRRWRRWRr..
..rRRRRRRRRRRr..
..rrrrrrrrrrrr..
................
"""))
    g["About"] = disc_letter(LETTER_I)
    g["HelpDefault"] = disc_letter(QUESTION)
    g["HelpContents"] = glyph(art("""
................
...NNNNNNNNNN...
..NBBBBBBBBBBN..
..NBBBBBBBBBBN..
..NBBSSSSSSBBN..
..NBBBBBBBBBBN..
..NBBBBBBBBBBN..
..NBBBBBBBBBBN..
..NBBBBBBBBBBN..
..NBBBBBBBBBBN..
..NBBBBBBBBBBN..
..NBBBBBBBBBBN..
..NNNNNNNNNNNN..
..NWWWWWWWWWWN..
...NNNNNNNNNNN..
................
"""))
    g["HelpIndex"] = glyph(art("""
................
................
.NNNNNN..NNNNNN.
NWWWWWWNNWWWWWWN
NWGGGGWNNWGGGGWN
NWWWWWWNNWWWWWWN
NWGGGGWNNWGGGGWN
NWWWWWWNNWWWWWWN
NWGGGGWNNWGGGGWN
NWWWWWWNNWWWWWWN
NWGGGGWNNWGGGGWN
NWWWWWWNNWWWWWWN
NNNNNNNBBNNNNNNN
.BBBBBBBBBBBBBB.
................
................
"""))
    q = glyph(GLOBE)
    rect(q, 9, 9, 15, 15, "O")
    rect(q, 10, 10, 14, 14, "S")
    put(q, [r.replace("W", "r") for r in TINY["Q"]], 11, 10)
    g["Qmark"] = q
    return g


# The order of the bar glyphs; must match TBarImage in Frameimages.h.
BAR_ORDER = [
    "QuickCon", "New", "CloseActive", "Preferences", "NewProfile", "Profiles", "Exit",
    "UpDir", "ChangeDir", "MkdDir", "NewLocalDir", "RenameDir", "RemoveDir",
    "RefreshRemote", "RefreshLocal",
    "UploadFile", "ResumeUp", "DownloadFile", "ResumeDown", "DeleteRemote", "RenameRemoteFile",
    "BatchUpload", "BatchDownload", "BatchDelete",
    "SaveLog", "DirInfo", "Chmod", "ChmodDir", "Quote",
    "ListView", "DetailView", "LgIconView", "SmIconView", "Toolbars",
    "StoS", "DNS", "Ping", "UrlInfo", "Finger", "Lookup", "Dialer",
    "About", "HelpDefault", "HelpContents", "HelpIndex", "Qmark",
]


def strip(images):
    h = len(images[0])
    out = [[] for _ in range(h)]
    for img in images:
        assert len(img) == h and all(len(r) == 16 for r in img)
        for y in range(h):
            out[y] += img[y]
    return out


def letters_to_rgb(c):
    return [[PALETTE[ch] for ch in row] for row in c]


# ---------------------------------------------------------------- vector pictures

class Picture:
    """An RGB picture with supersampled, anti-aliased shapes and alpha."""

    def __init__(self, w, h, color=(0, 0, 0), alpha=1.0):
        self.w, self.h = w, h
        self.px = [[list(color) for _ in range(w)] for _ in range(h)]
        self.alpha = [[alpha] * w for _ in range(h)]

    def blend(self, x, y, color, a):
        if a <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y][x]
        old = self.alpha[y][x]
        out = a + old * (1 - a)
        for i in range(3):
            p[i] = (color[i] * a + p[i] * old * (1 - a)) / out if out else 0
        self.alpha[y][x] = out

    def fill(self, inside, bbox, color, samples=4, opacity=1.0):
        """inside(x, y) for points in picture coordinates."""
        x0, y0, x1, y1 = bbox
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.w - 1, int(math.ceil(x1))), min(self.h - 1, int(math.ceil(y1)))
        step = 1.0 / samples
        offs = [(i + 0.5) * step for i in range(samples)]
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                n = 0
                for sy in offs:
                    for sx in offs:
                        if inside(x + sx, y + sy):
                            n += 1
                if n:
                    col = color(x + 0.5, y + 0.5) if callable(color) else color
                    self.blend(x, y, col, opacity * n / (samples * samples))

    def circle(self, cx, cy, r, color, **kw):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, (cx - r, cy - r, cx + r, cy + r), color, **kw)

    def ring(self, cx, cy, r, width, color, **kw):
        lo, hi = (r - width / 2) ** 2, (r + width / 2) ** 2
        self.fill(lambda x, y: lo <= (x - cx) ** 2 + (y - cy) ** 2 <= hi,
                  (cx - r - width, cy - r - width, cx + r + width, cy + r + width), color, **kw)

    def box(self, x0, y0, x1, y1, color, radius=0, **kw):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            if radius <= 0:
                return True
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
        self.fill(inside, (x0, y0, x1, y1), color, **kw)

    def polygon(self, pts, color, **kw):
        def inside(x, y):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        self.fill(inside, (min(xs), min(ys), max(xs), max(ys)), color, **kw)

    def stroke(self, pts, width, color, **kw):
        """A polyline with round ends and joins."""
        hw = width / 2

        def near(x, y):
            for (ax, ay), (bx, by) in zip(pts, pts[1:]):
                dx, dy = bx - ax, by - ay
                L = dx * dx + dy * dy
                t = 0 if L == 0 else max(0, min(1, ((x - ax) * dx + (y - ay) * dy) / L))
                if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= hw * hw:
                    return True
            return False
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        self.fill(near, (min(xs) - hw, min(ys) - hw, max(xs) + hw, max(ys) + hw), color, **kw)

    def rgb(self, background=None):
        out = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                p, a = self.px[y][x], self.alpha[y][x]
                if background is not None:
                    p = [p[i] * a + background[i] * (1 - a) for i in range(3)]
                row.append(tuple(max(0, min(255, int(round(v)))) for v in p))
            out.append(row)
        return out


def arc(cx, cy, r, a0, a1, n=24, ry=None):
    ry = r if ry is None else ry
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


# The wordmark's letters as strokes on a grid 4 wide and 6 high (y down).
def letter_strokes(ch):
    if ch == "N":
        return [[(0, 6), (0, 0), (4, 6), (4, 0)]]
    if ch == "E":
        return [[(4, 0), (0, 0), (0, 6), (4, 6)], [(0, 3), (3, 3)]]
    if ch == "M":
        return [[(0, 6), (0, 0), (2, 4), (4, 0), (4, 6)]]
    if ch == "B":
        return [[(0, 3), (0, 0), (2.5, 0)] + arc(2.5, 1.5, 1.5, -90, 90, 10) + [(0, 3), (2.7, 3)]
                + arc(2.7, 4.5, 1.5, -90, 90, 10) + [(0, 6), (0, 3)]]
    if ch == "R":
        return [[(0, 6), (0, 0), (2.5, 0)] + arc(2.5, 1.5, 1.5, -90, 90, 10) + [(0, 3)], [(2, 3), (4, 6)]]
    if ch == "A":
        return [[(0, 6), (2, 0), (4, 6)], [(0.8, 3.8), (3.2, 3.8)]]
    if ch == "3":
        return [arc(2, 1.6, 1.8, 200, 450, 14) + [(1.2, 3)] + arc(2, 4.4, 1.8, -90, 160, 14)]
    if ch == "F":
        return [[(4, 0), (0, 0), (0, 6)], [(0, 3), (3, 3)]]
    if ch == "T":
        return [[(0, 0), (4, 0)], [(2, 0), (2, 6)]]
    if ch == "P":
        return [[(0, 6), (0, 0), (2.5, 0)] + arc(2.5, 1.5, 1.5, -90, 90, 10) + [(0, 3)]]
    if ch == "C":
        return [arc(2.6, 3, 2.6, 45, 315, 20, ry=3)]
    if ch == "L":
        return [[(0, 0), (0, 6), (4, 6)]]
    if ch == "I":
        return [[(2, 0), (2, 6)]]
    if ch == "Q":
        return [arc(2, 3, 2.2, 0, 360, 28, ry=3), [(2.6, 4.4), (4.2, 6.4)]]
    if ch == "U":
        return [[(0, 0), (0, 4)] + arc(2, 4, 2, 180, 0, 12)[::-1][::-1] + [(4, 0)]]
    if ch == "K":
        return [[(0, 0), (0, 6)], [(4, 0), (0, 3.6)], [(1.3, 2.8), (4, 6)]]
    if ch == " ":
        return []
    raise KeyError(ch)


def text(pic, s, x, y, scale, width, color, spacing=1.6, **kw):
    """Draws s with its top-left at (x, y); returns the x after it."""
    for ch in s:
        for st in letter_strokes(ch):
            pic.stroke([(x + px * scale, y + py * scale) for px, py in st], width, color, **kw)
        x += (4 + spacing) * scale if ch != "I" else (2.5 + spacing) * scale
    return x


def text_width(s, scale, spacing=1.6):
    return sum(((4 if ch != "I" else 2.5) + spacing) * scale for ch in s) - spacing * scale


def gradient(pic, top, bottom, left=None):
    for y in range(pic.h):
        t = y / max(1, pic.h - 1)
        for x in range(pic.w):
            c = [top[i] + (bottom[i] - top[i]) * t for i in range(3)]
            if left is not None:
                u = 1 - x / max(1, pic.w - 1)
                c = [c[i] + (left[i] - c[i]) * u * 0.5 for i in range(3)]
            pic.px[y][x] = c


def banner():
    """310x80: the wordmark on deep blue."""
    p = Picture(310, 80)
    gradient(p, (16, 88, 160), (0, 40, 96), left=(40, 120, 200))
    # Faint orbits behind the letters.
    for r, a in ((60, 0.10), (90, 0.07), (120, 0.05)):
        p.ring(270, 40, r, 1.6, (255, 255, 255), opacity=a)
    scale, width = 7.2, 5.0
    x0 = 22
    text(p, "NEMBRA", x0 + 2, 14 + 2, scale, width, (0, 16, 48), opacity=0.6)
    end = text(p, "NEMBRA", x0, 14, scale, width, (255, 255, 255))
    # The version, in a circle.
    p.circle(end + 18, 36, 17, (255, 170, 32))
    p.ring(end + 18, 36, 17, 2, (255, 255, 255))
    text(p, "3", end + 18 - 2 * 3.4, 36 - 3 * 3.4, 3.4, 3.0, (0, 40, 96))
    # The tag line.
    text(p, "FTP CLIENT", x0 + 1, 63, 1.6, 1.3, (176, 216, 255), spacing=2.2)
    return p


def folder_shape(p, x, y, w, h):
    tab = w * 0.38
    p.box(x, y - h * 0.12, x + tab, y + 4, (176, 120, 8), radius=3)
    p.box(x, y, x + w, y + h, (176, 120, 8), radius=4)
    p.box(x + 2, y + 2, x + w - 2, y + h - 2, (255, 208, 72), radius=3)
    p.box(x + 2, y + 2, x + w - 2, y + h * 0.3, (255, 232, 150), radius=3)


def globe_shape(p, cx, cy, r):
    p.circle(cx, cy, r + 2, (0, 32, 112))
    p.circle(cx, cy, r, lambda x, y: (60 + int(60 * (y - cy + r) / (2 * r)), 150, 245))
    inside = lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= (r - 1) ** 2
    # Land: a few blobs, clipped to the disc.
    for bx, by, br in ((-0.35, -0.3, 0.33), (-0.2, 0.25, 0.28), (0.38, -0.05, 0.3), (0.45, 0.45, 0.16)):
        ccx, ccy, rr = cx + bx * r, cy + by * r, br * r
        p.fill(lambda x, y: inside(x, y) and (x - ccx) ** 2 + ((y - ccy) * 1.3) ** 2 <= rr * rr,
               (ccx - rr, ccy - rr, ccx + rr, ccy + rr), (40, 168, 72))
    # Meridians and parallels.
    for k in (-0.5, 0, 0.5):
        ry = r * math.sqrt(1 - k * k)
        p.stroke([(cx - ry, cy + k * r), (cx + ry, cy + k * r)], 1.1, (255, 255, 255), opacity=0.45)
    for rx in (0.35, 0.75):
        p.fill(lambda x, y, rx=rx: inside(x, y) and abs(((x - cx) / (rx * r)) ** 2 + ((y - cy) / r) ** 2 - 1) < 0.06,
               (cx - r, cy - r, cx + r, cy + r), (255, 255, 255), opacity=0.45)
    p.stroke([(cx, cy - r), (cx, cy + r)], 1.1, (255, 255, 255), opacity=0.45)
    # A highlight.
    p.circle(cx - r * 0.4, cy - r * 0.45, r * 0.22, (255, 255, 255), opacity=0.35)


def page_shape(p, x, y, w, h, tilt=0.0):
    p.box(x, y, x + w, y + h, (60, 60, 60), radius=1.5)
    p.box(x + 1.2, y + 1.2, x + w - 1.2, y + h - 1.2, (255, 255, 255), radius=1)
    for i in range(1, 4):
        ly = y + h * i / 4.6
        p.stroke([(x + 3, ly), (x + w - 3 - (i % 2) * 3, ly)], 1.0, (150, 150, 150))


def arrow_head(p, tip, direction, size, color):
    ang = math.atan2(direction[1], direction[0])
    a, b = ang + math.radians(150), ang - math.radians(150)
    p.polygon([tip, (tip[0] + size * math.cos(a), tip[1] + size * math.sin(a)),
               (tip[0] + size * math.cos(b), tip[1] + size * math.sin(b))], color)


def transfer_picture():
    """320x140: the local folder, the server's globe, files going both ways."""
    p = Picture(320, 140)
    gradient(p, (236, 244, 255), (178, 206, 240))
    # Ground shadows.
    for cx, rx in ((70, 52), (250, 50)):
        p.fill(lambda x, y, cx=cx, rx=rx: ((x - cx) / rx) ** 2 + ((y - 122) / 7) ** 2 <= 1,
               (cx - rx, 112, cx + rx, 132), (40, 70, 120), opacity=0.18)
    # The local computer: a monitor with a folder on its screen.
    p.box(24, 26, 118, 98, (60, 66, 80), radius=6)
    p.box(31, 33, 111, 91, lambda x, y: (20, 60 + int(y - 33), 140 + int(y - 33)), radius=2)
    folder_shape(p, 48, 48, 46, 34)
    p.box(60, 98, 82, 110, (90, 96, 110))
    p.box(40, 110, 102, 118, (60, 66, 80), radius=3)
    # The server: the globe.
    globe_shape(p, 250, 64, 46)
    # Upload: an arc over the top, left to right; download: under, right to left.
    up = arc(160, 92, 74, 205, 335, 40, ry=60)
    down = arc(160, 58, 70, 25, 155, 40, ry=52)
    for pts, color in ((up, (0, 150, 60)), (down, (0, 84, 200))):
        p.stroke(pts, 4.2, (255, 255, 255), opacity=0.9)
        p.stroke(pts, 2.6, color)
    arrow_head(p, up[-1], (up[-1][0] - up[-4][0], up[-1][1] - up[-4][1]), 11, (0, 150, 60))
    arrow_head(p, down[-1], (down[-1][0] - down[-4][0], down[-1][1] - down[-4][1]), 11, (0, 84, 200))
    # Files on their way.
    page_shape(p, 146, 24, 18, 23)
    page_shape(p, 150, 97, 18, 23)
    return p


def icon_picture(size, connection=False):
    p = Picture(size, size, alpha=0.0)
    s = size / 32
    if connection:
        # A monitor joined to a globe.
        p.box(1 * s, 4 * s, 21 * s, 20 * s, (50, 56, 70), radius=2 * s)
        p.box(3 * s, 6 * s, 19 * s, 18 * s, (40, 110, 210))
        p.box(8 * s, 20 * s, 14 * s, 24 * s, (90, 96, 110))
        p.box(4 * s, 24 * s, 18 * s, 26.5 * s, (50, 56, 70), radius=1 * s)
        p.stroke([(14 * s, 25 * s), (20 * s, 25 * s)], 1.6 * s, (30, 30, 30))
        globe_icon(p, 23.5 * s, 23.5 * s, 8 * s)
    else:
        # A folder and the globe with a double arrow.
        globe_icon(p, 20 * s, 12 * s, 11.5 * s)
        p.box(1 * s, 14 * s, 9 * s, 18 * s, (150, 100, 0), radius=1.5 * s)
        p.box(1 * s, 16 * s, 20 * s, 31 * s, (150, 100, 0), radius=2 * s)
        p.box(2.4 * s, 17.4 * s, 18.6 * s, 29.6 * s, (255, 208, 72), radius=1.5 * s)
        p.box(2.4 * s, 17.4 * s, 18.6 * s, 21 * s, (255, 236, 160), radius=1.5 * s)
        w = max(1.6, 2.4 * s)
        p.stroke([(22 * s, 26 * s), (30 * s, 26 * s)], w, (0, 140, 40))
        arrow_head(p, (31 * s, 26 * s), (1, 0), 5 * s, (0, 140, 40))
        p.stroke([(22 * s, 30.5 * s), (29 * s, 30.5 * s)], w, (0, 70, 190))
        arrow_head(p, (21 * s, 30.5 * s), (-1, 0), 5 * s, (0, 70, 190))
    return p


def globe_icon(p, cx, cy, r):
    p.circle(cx, cy, r, (0, 32, 112))
    inner = r - max(0.8, r * 0.1)
    p.circle(cx, cy, inner, (80, 160, 245))
    inside = lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= inner ** 2
    for bx, by, br in ((-0.4, -0.3, 0.38), (-0.2, 0.4, 0.3), (0.42, 0.0, 0.34)):
        ccx, ccy, rr = cx + bx * r, cy + by * r, br * r
        p.fill(lambda x, y: inside(x, y) and ((x - ccx) * 1.4) ** 2 + (y - ccy) ** 2 <= rr * rr,
               (ccx - rr, ccy - rr, ccx + rr, ccy + rr), (40, 168, 72))
    # The equator and a meridian, so it reads as a globe when small.
    line = max(0.9, r * 0.1)
    p.stroke([(cx - inner, cy), (cx + inner, cy)], line, (255, 255, 255), opacity=0.6)
    p.fill(lambda x, y: inside(x, y) and abs(((x - cx) / (0.5 * inner)) ** 2 + ((y - cy) / inner) ** 2 - 1) < 0.16,
           (cx - inner, cy - inner, cx + inner, cy + inner), (255, 255, 255), opacity=0.6)


# ---------------------------------------------------------------- file writers

def bmp_bytes(rgb):
    h, w = len(rgb), len(rgb[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rgb):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def ico_bytes(pictures):
    """32-bit images with their AND masks."""
    entries, blobs = [], []
    offset = 6 + 16 * len(pictures)
    for p in pictures:
        w, h = p.w, p.h
        rgb = p.rgb()
        data = bytearray(struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0))
        for y in reversed(range(h)):
            for x in range(w):
                r, g, b = rgb[y][x]
                a = max(0, min(255, int(round(p.alpha[y][x] * 255))))
                data += bytes((b, g, r, a))
        mask_stride = ((w + 31) // 32) * 4
        for y in reversed(range(h)):
            row = bytearray(mask_stride)
            for x in range(w):
                if p.alpha[y][x] < 0.5:
                    row[x // 8] |= 0x80 >> (x % 8)
            data += row
        entries.append(struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset))
        blobs.append(bytes(data))
        offset += len(data)
    return struct.pack("<HHH", 0, 1, len(pictures)) + b"".join(entries) + b"".join(blobs)


def png_bytes(rgb):
    h, w = len(rgb), len(rgb[0])
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rgb)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# Baseline JPEG (ITU T.81), 4:4:4, the example Huffman tables of its annex K.

ZIGZAG = [
    0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6, 7, 14,
    21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53,
    60, 61, 54, 47, 55, 62, 63,
]
LUMA_Q = [
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22,
    29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92, 49, 64, 78, 87, 103,
    121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
]
CHROMA_Q = [
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99,
    99, 99, 99, 99, 99] + [99] * 32
DC_LUMA = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
DC_CHROMA = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
AC_LUMA = ([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D], bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a25262728292a3435"
    "363738393a434445464748494a535455565758595a636465666768696a737475767778797a838485868788898a92939495969798"
    "999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4"
    "f5f6f7f8f9fa"))
AC_CHROMA = ([0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77], bytes.fromhex(
    "000102031104052131061241510761711322328108144291a1b1c109233352f0156272d10a162434e125f11718191a26272829"
    "2a35363738393a434445464748494a535455565758595a636465666768696a737475767778797a82838485868788898a92939495"
    "969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3"
    "f4f5f6f7f8f9fa"))


def huffman_codes(table):
    bits, vals = table
    assert sum(bits) == len(vals)
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def scaled(q, quality):
    s = 5000 / quality if quality < 50 else 200 - 2 * quality
    return [max(1, min(255, int((v * s + 50) // 100))) for v in q]


COS = [[math.cos((2 * x + 1) * u * math.pi / 16) * (math.sqrt(0.5) if u == 0 else 1) for x in range(8)]
       for u in range(8)]


def fdct(block):
    tmp = [[sum(COS[u][x] * block[y * 8 + x] for x in range(8)) for u in range(8)] for y in range(8)]
    return [sum(COS[v][y] * tmp[y][u] for y in range(8)) / 4 for v in range(8) for u in range(8)]


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, code, length):
        self.acc = (self.acc << length) | code
        self.n += length
        while self.n >= 8:
            self.n -= 8
            byte = (self.acc >> self.n) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
        self.acc &= (1 << self.n) - 1

    def flush(self):
        if self.n:
            self.put((1 << (8 - self.n)) - 1, 8 - self.n)


def magnitude(v):
    size = abs(v).bit_length()
    return size, (v if v >= 0 else v + (1 << size) - 1)


def jpeg_bytes(rgb, quality=92):
    h, w = len(rgb), len(rgb[0])
    qt = [scaled(LUMA_Q, quality), scaled(CHROMA_Q, quality)]
    dc = [huffman_codes(DC_LUMA), huffman_codes(DC_CHROMA)]
    ac = [huffman_codes(AC_LUMA), huffman_codes(AC_CHROMA)]
    planes = [[[0.0] * w for _ in range(h)] for _ in range(3)]
    for y in range(h):
        for x in range(w):
            r, g, b = rgb[y][x]
            planes[0][y][x] = 0.299 * r + 0.587 * g + 0.114 * b - 128
            planes[1][y][x] = -0.168736 * r - 0.331264 * g + 0.5 * b
            planes[2][y][x] = 0.5 * r - 0.418688 * g - 0.081312 * b
    bw = BitWriter()
    pred = [0, 0, 0]
    for by in range(0, h, 8):
        for bx in range(0, w, 8):
            for comp in range(3):
                t = 0 if comp == 0 else 1
                block = [planes[comp][min(by + j, h - 1)][min(bx + i, w - 1)] for j in range(8) for i in range(8)]
                coef = fdct(block)
                q = [int(round(coef[ZIGZAG[k]] / qt[t][ZIGZAG[k]])) for k in range(64)]
                diff = q[0] - pred[comp]
                pred[comp] = q[0]
                size, bits = magnitude(diff)
                bw.put(*dc[t][size])
                if size:
                    bw.put(bits, size)
                run = 0
                for k in range(1, 64):
                    if q[k] == 0:
                        run += 1
                        continue
                    while run > 15:
                        bw.put(*ac[t][0xF0])
                        run -= 16
                    size, bits = magnitude(q[k])
                    bw.put(*ac[t][(run << 4) | size])
                    bw.put(bits, size)
                    run = 0
                if run:
                    bw.put(*ac[t][0x00])
    bw.flush()

    def segment(marker, data):
        return struct.pack(">BBH", 0xFF, marker, len(data) + 2) + data
    out = b"\xff\xd8"
    out += segment(0xE0, b"JFIF\0" + struct.pack(">BBBHHBB", 1, 1, 0, 1, 1, 0, 0))
    for i in range(2):
        out += segment(0xDB, bytes([i]) + bytes(qt[i][ZIGZAG[k]] for k in range(64)))
    out += segment(0xC0, struct.pack(">BHHB", 8, h, w, 3) + bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1]))
    for cls_id, table in ((0x00, DC_LUMA), (0x10, AC_LUMA), (0x01, DC_CHROMA), (0x11, AC_CHROMA)):
        out += segment(0xC4, bytes([cls_id]) + bytes(table[0]) + bytes(table[1]))
    out += segment(0xDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    return out + bytes(bw.out) + b"\xff\xd9"


def check_tables():
    # Every (run, size) symbol a block can need is in each AC table.
    want = sorted([0x00, 0xF0] + [(r << 4) | s for r in range(16) for s in range(1, 11)])
    for t in (AC_LUMA, AC_CHROMA):
        assert sorted(t[1]) == want


def enlarged(images, scale=6, gap=4):
    """A preview of a strip: each image enlarged, on grey."""
    n = len(images)
    cols = min(n, 12)
    rows = (n + cols - 1) // cols
    W, H = cols * (16 * scale + gap) + gap, rows * (16 * scale + gap) + gap
    out = [[(160, 160, 160)] * W for _ in range(H)]
    for i, img in enumerate(images):
        ox = gap + (i % cols) * (16 * scale + gap)
        oy = gap + (i // cols) * (16 * scale + gap)
        for y in range(16):
            for x in range(16):
                ch = img[y][x]
                col = (224, 224, 224) if ch == "." else PALETTE[ch]
                for dy in range(scale):
                    for dx in range(scale):
                        out[oy + y * scale + dy][ox + x * scale + dx] = col
    return out


def enum_names(header, enum):
    """The value names of an enumeration of a C++ header, without the count."""
    text = header.read_text()
    body = text[text.index("enum " + enum):]
    body = body[body.index("{") + 1:body.index("}")]
    names = [line.split("//")[0].strip().rstrip(",") for line in body.splitlines()]
    return [n for n in names if n and not n.endswith("Count")]


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    out = Path(args[0]) if args else Path(__file__).parent
    check_tables()
    small = small_images()
    bars = bar_images()
    assert sorted(bars) == sorted(BAR_ORDER), set(bars) ^ set(BAR_ORDER)
    header = Path(__file__).parent / "Frameimages.h"
    assert enum_names(header, "TBarGlyph") == ["bg" + n for n in BAR_ORDER], "Frameimages.h's order differs"
    assert len(enum_names(header, "TSmallImage")) == len(small)
    bar_list = [bars[k] for k in BAR_ORDER]
    for img in small + bar_list:
        assert img[15][0] == ".", "the bottom-left pixel must be transparent"
    (out / "imgsmall.bmp").write_bytes(bmp_bytes(letters_to_rgb(strip(small))))
    (out / "imagebars.bmp").write_bytes(bmp_bytes(letters_to_rgb(strip(bar_list))))
    (out / "splashtop.jpg").write_bytes(jpeg_bytes(banner().rgb()))
    (out / "splashpic.jpg").write_bytes(jpeg_bytes(transfer_picture().rgb()))
    (out / "nembra.ico").write_bytes(ico_bytes([icon_picture(32), icon_picture(16)]))
    (out / "connection.ico").write_bytes(ico_bytes([icon_picture(32, True), icon_picture(16, True)]))
    if "--preview" in sys.argv:
        (out / "preview-small.png").write_bytes(png_bytes(enlarged(small)))
        (out / "preview-bars.png").write_bytes(png_bytes(enlarged(bar_list)))
        (out / "preview-banner.png").write_bytes(png_bytes(banner().rgb()))
        (out / "preview-picture.png").write_bytes(png_bytes(transfer_picture().rgb()))
        for name, conn in (("preview-icon.png", False), ("preview-conn.png", True)):
            big = icon_picture(32, conn).rgb(background=(255, 255, 255))
            (out / name).write_bytes(png_bytes([[px for px in row for _ in range(4)] for row in big for _ in range(4)]))


if __name__ == "__main__":
    main()
