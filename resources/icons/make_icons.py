#!/usr/bin/env python3
"""Paints kivo's icon strip and application icon from the character maps below into XPM files."""

# Each picture is 16 lines of 16 characters; every character is one pixel, named in PALETTE.
# The style: a 1 px dark outline, a light edge up-left and a shaded edge down-right.
# Run from anywhere: writes icon_strip.xpm (with icon_strip@2x.xpm for twice the pixel density),
# kivo.xpm and kivo_32.xpm to kivo_96.xpm beside itself, and the installed application icons
# theme/kivo_<size>.png.
# --check only compares; --sheet PNG also writes an enlarged contact sheet for looking at.

import math
import struct
import sys
import zlib
from pathlib import Path

PALETTE = {
    ".": None,  # transparent: the mask
    "k": "#1c1c1c",  # outline
    "x": "#3a3a3a",  # black surfaces (eight ball, penguin, hat)
    "G": "#6c6c6c",  # dark grey
    "g": "#a4a4a4",  # grey
    "W": "#d8d8d8",  # light grey
    "w": "#ffffff",  # white
    "l": "#fff7a8",  # yellow highlight
    "y": "#ffd21e",  # yellow
    "Y": "#c98d00",  # gold shade
    "o": "#ff8a1c",  # orange
    "O": "#b95300",  # dark orange
    "p": "#ff9c9c",  # red highlight
    "r": "#e3262b",  # red
    "R": "#931317",  # dark red
    "n": "#ffc6e0",  # light pink
    "m": "#f672b0",  # pink
    "M": "#bd3b7a",  # dark pink
    "c": "#a6ccff",  # light blue
    "b": "#2f6fdf",  # blue
    "B": "#173f99",  # dark blue
    "f": "#9be38f",  # light green
    "e": "#2ea836",  # green
    "E": "#15641c",  # dark green
    "i": "#f0cd93",  # light cardboard
    "t": "#d9a863",  # cardboard, sponge
    "T": "#a8712f",  # dark cardboard
    "u": "#9a5a26",  # brown
    "U": "#5a3211",  # dark brown
    "s": "#f6c89c",  # skin
    "a": "#fff1d0",  # cream
}

SIZE = 16

# (subject, map) in strip order; the index is the record's icon number.
PICTURES = [
    ("yellow question mark", """
................
.....kkkkkk.....
....klllyyyk....
...kllyyyyyYk...
...kyyYkkkyyYk..
...kkkk..kyyYk..
........kyyYk...
.......kyyYk....
......kyyYk.....
......kyyYk.....
......kkkkk.....
................
......kkkk......
......klyk......
......kyYk......
......kkkk......
"""),
    ("blue information sign", """
.....kkkkkk.....
...kkbbbbbbkk...
..kbccbbbbbbBk..
.kbcbbbwwwbbbBk.
.kcbbbbwwwbbbBk.
kbbbbbbwwwbbbbBk
kbbbbbbbbbbbbbBk
kbbbbbwwwwbbbbBk
kbbbbbbwwwbbbbBk
kbbbbbbwwwbbbbBk
kbbbbbbwwwbbbbBk
.kbbbbbwwwbbbBk.
.kbbbbwwwwwbbBk.
..kBbbbbbbbbBk..
...kkBBBBBBkk...
.....kkkkkk.....
"""),
    ("slice of layer cake", """
................
............kk..
...........krpk.
...........krRk.
........kkkkkkk.
.....kkknnnnnmk.
..kkknnnnnnnnMk.
.kmmmmmmmmmmmMk.
.kttttttttttMMk.
.kttttttttttMMk.
.kaaaaaaaaaaMMk.
.kttttttttttMMk.
.kttttttttttMMk.
.kaaaaaaaaaaMMk.
.kkkkkkkkkkkkkk.
................
"""),
    ("cardboard box", """
................
....kkkkkkkkkkk.
...kiiiiuiiiikk.
..kiiiiuiiiikTk.
.kkkkkkkkkkkTTk.
.kttttuttttkTTk.
.kttttuttttkTTk.
.kttttuttttkTTk.
.kttttttttttkTTk
.kttttttttttkTTk
.kttttttttttkTTk
.kttttttttttkTTk
.kttttttttttkTTk
.kttttttttttkTk.
.kttttttttttkk..
.kkkkkkkkkkkk...
"""),
    ("two balloons, red and green", """
..kkkk..........
.krrrrk.........
krpprrRk........
krprrrRk.kkkk...
krrrrrRkkeeeek..
krrrrrRkefeeeEk.
.krrrRkkfeeeeEk.
.kRrrRkkeeeeeEk.
..kRRk.keeeeeEk.
...kk...keeeEk..
...G....kEeeEk..
....G....kEEk...
....G.....kk....
.....G...G......
......G.G.......
.......G........
"""),
    ("note pad with a pencil", """
................
.kkkkkkkkkkk.kk.
.krrrrrrrrrkkmmk
.kRRRRRRRRRkmmMk
.kwwwwwwwwkggGk.
.kwbbbbbbkyyYk..
.kwwwwwwkyyYk...
.kwbbbbkyyYk....
.kwwwwkyyYkk....
.kwbbkyyYkbk....
.kwwksTkwwwk....
.kwbkskbbbwk....
.kwwkkwwwwwk....
.kwbbbbbbbwk....
.kwwwwwwwwwk....
.kkkkkkkkkkk....
"""),
    ("eight ball", """
.....kkkkkk.....
...kkxxxxxxkk...
..kxGxxxxxxxxk..
.kxGxxxxwwwxxxk.
.kGxxxxwwwwwxxk.
kxGxxxwwkkkwwxxk
kxxxxxwwkwkwwxxk
kxxxxxwwkkkwwxxk
kxxxxxwwkwkwwxxk
kxxxxxwwkkkwwxxk
kxxxxxxwwwwwxxxk
.kxxxxxxwwwxxxk.
.kxxxxxxxxxxxxk.
..kxxxxxxxxxxk..
...kkxxxxxxkk...
.....kkkkkk.....
"""),
    ("gold star", """
.......kk.......
......kllk......
......klyk......
.....klyyYk.....
.....klyyYk.....
kkkkkklyyYkkkkkk
klllllyyyyyyyYYk
.klyyyyyyyyyyYk.
..kyyyyyyyyyYk..
...kyyyyyyyYk...
...kyyyyyyyYk...
..kyyyyYYyyyYk..
..kyyyYkkYyyYk..
.kyyYkk..kkYyYk.
.kyYk......kYYk.
.kkk........kkk.
"""),
    ("red burst with an exclamation mark", """
.......kk.......
.k....krrk....k.
.kk..krrrrk..kk.
..krkkryyrkkrk..
..krrrryyrrrrk..
kkkrrrryyrrrrkkk
.krrrrryyrrrrrk.
..krrrryyrrrrk..
..krrrryyrrrrk..
.krrrrrrrrrrrrk.
kkrrrrryyrrrrrkk
..krrrryyrrrrk..
..krkkrrrrkkrk..
.kk..krrrrk..kk.
.k....krrk....k.
.......kk.......
"""),
    ("penguin", """
.....kkkkkk.....
....kxxxxxxk....
...kxxxxxxxxk...
...kxwkxxkwxk...
...kxxxooxxxk...
...kxxwOOwxxk...
..kxxwwwwwwxxk..
.kxxwwwwwwwwxxk.
kxxkwwwwwwwwkxxk
kxkkwwwwwwwwkkxk
kk.kwwwwwwwwk.kk
...kwwwwwwwwk...
...kxwwwwwwxk...
....kxxxxxxk....
...kookkkkook...
...kkkk..kkkk...
"""),
    ("standing figure", """
......kkkk......
.....kUUUUk.....
.....kssssk.....
.....kssssk.....
....kkbbbbkk....
...kbbbbbbbbk...
...kbkbbbbkbk...
...kbkbbbbkbk...
...kbkbbbbkbk...
...kskbbbbksk...
....kkBBBBkk....
.....kBBBBk.....
.....kBkkBk.....
.....kBkkBk.....
.....kUkkUk.....
.....kkkkkk.....
"""),
    ("red push-pin", """
....kkkkkkkk....
....kpprrrRk....
....kpprrrRk....
....kkprrRkk....
.....kprrRk.....
.....kprrRk.....
.....kprrRk.....
....kkprrRkk....
...kpprrrrRRk...
...kRRRRRRRRk...
....kkkWgkkk....
......kWgk......
......kWgk......
......kWgk......
.......kk.......
................
"""),
    ("wrapped present", """
...kkk....kkk...
..kylyk..kylyk..
..kykkykkykkyk..
...kkkkyykkkk...
kkkkkkkyYkkkkkkk
kmmmmmmyYmmmmmMk
kMMMMMMyYMMMMMMk
kkkkkkkyYkkkkkkk
.kmmmmmyYmmmmMk.
.kmmmmmyYmmmmMk.
.kmmmmmyYmmmmMk.
.kmmmmmyYmmmmMk.
.kmmmmmyYmmmmMk.
.kmmmmmyYmmmmMk.
.kMMMMMyYMMMMMk.
.kkkkkkkkkkkkkk.
"""),
    ("silver star", """
.......kk.......
......kwwk......
......kwWk......
.....kwWWgk.....
.....kwWWgk.....
kkkkkkwWWgkkkkkk
kwwwwwWWWWWWWggk
.kwWWWWWWWWWWgk.
..kWWWWWWWWWgk..
...kWWWWWWWgk...
...kWWWWWWWgk...
..kWWWWggWWWgk..
..kWWWgkkgWWgk..
.kWWgkk..kkgWgk.
.kWgk......kggk.
.kkk........kkk.
"""),
    ("red heart on a blue square", """
.kkkkkkkkkkkkkk.
kcccccccccccccBk
kcbbbbbbbbbbbbBk
kcbbkkkbbkkkbbBk
kcbkrrpkkrrrkbBk
kcbkrpprrrrRkbBk
kcbkrrrrrrrRkbBk
kcbbkrrrrrRkbbBk
kcbbbkrrrRkbbbBk
kcbbbbkrRkbbbbBk
kcbbbbbkkbbbbbBk
kcbbbbbbbbbbbbBk
kcbbbbbbbbbbbbBk
kcbbbbbbbbbbbbBk
kBBBBBBBBBBBBBBk
.kkkkkkkkkkkkkk.
"""),
    ("gold trophy", """
..kkkkkkkkkkkk..
kkkllyyyyyyyYkkk
kykklyyyyyyYkkyk
ky.klyyyyyyYk.yk
kyk.klyyyyYk.kyk
.kykklyyyyYkkyk.
..kkkklyyYkkkk..
......kyYk......
.......kk.......
......kyYk......
.....klyyYk.....
....kkkkkkkk....
....kUUUUUUk....
....kUyyyyUk....
...kUUUUUUUUk...
...kkkkkkkkkk...
"""),
    ("warning triangle", """
.......kk.......
......kyyk......
......kyyk......
.....kyyyyk.....
.....kykkyk.....
....kyykkyyk....
....kyykkyyk....
...kyyykkyyyk...
...kyyykkyyyk...
..kyyyyyyyyyyk..
..kyyyykkyyyyk..
.kyyyyykkyyyyyk.
.kyyyyyyyyyyyyk.
kyyyyyyyyyyyyyyk
kkkkkkkkkkkkkkkk
................
"""),
    ("iced cake", """
...y...y...y....
..kok.kok.kok...
..kmk.kck.kmk...
..kmk.kck.kmk...
.kkkkkkkkkkkkkk.
kwwwwwwwwwwwwwWk
kwwwwwwwwwwwwwWk
kmwmmwwmmmwwmWMk
kmmmmwmmmmmwmmMk
kmmmmmmmmmmmmmMk
knnnnnnnnnnnnnMk
kmmmmmmmmmmmmmMk
kmmmmmmmmmmmmmMk
kMMMMMMMMMMMMMMk
kkkkkkkkkkkkkkkk
................
"""),
    ("rabbit", """
...kk.kk........
..kWnkWnk.......
..kWnkWnk.......
..kWnkWnk.......
...kWkWk........
..kwwwwwk.......
.kwwkwwwwk......
.kwwwwwwwkkkk...
.knwwwwwwwwwWkk.
..kkwwwwwwwwwWkk
...kwwwwwwwwwwwk
...kwwwwwwwwwWwk
...kwWwwwwwwwWWk
..kwwkWwwwwwWWk.
..kkkkkkkkkkkkk.
................
"""),
    ("holly and a candy cane", """
.......kkkkk....
......krrwwrk...
.....krrkkkrwk..
.....krwk.kwwk..
.....kwwk.kwrk..
.....kkkk.krrk..
..........krwk..
...k..k...kwwk..
..kek.kek.kwrk..
.keeekeeekkrrk..
keeEkkeEeekrwk..
kkeekrrkeEekwk..
.keekrprkkkkrk..
keEkkrRRrrkrrk..
kekk..kkrpkrwk..
.k......kkkkkk..
"""),
    ("decorated fir tree", """
.......yy.......
......kyyk......
......keek......
.....keeeek.....
.....kerEek.....
....keeeeeek....
....keEeebek....
...keeeeeeeek...
...kyeeEeeeek...
..keeeeeereeek..
..keeEeeeeeEek..
.kebeeeeyeeeeek.
.keeeeEeeeeEeek.
kkkkkkkuukkkkkkk
......kuuk......
......kkkk......
"""),
    ("striped flag", """
.kk.............
kggkkkkkkkkkkk..
kgkrrrrrrrrrrrk.
kgkwwwwwwwwwwwk.
kgkrrrrrrrrrrrk.
kgkwwwwwwwwwwwk.
kgkrrrrrrrrrrrk.
kgkwwwwwwwwwwwk.
kgkrrrrrrrrrrrk.
kgkkkkkkkkkkkkk.
kgk.............
kgk.............
kgk.............
kgk.............
kgk.............
kkk.............
"""),
    ("bunch of red roses", """
......kkkk......
.....kprrRk.....
.....krRprk.....
.kkkkkRprRkkkkk.
kprrRkkRRkkprrRk
krRprkkeekkrRprk
kRprRkkeekkRprRk
.kRRk.keek.kRRk.
..kkkekeekekkk..
.keeEkkeekkEeek.
keeEk.keek.kEeek
.kkk..kyyk..kkk.
....kyykkyyk....
......keek......
......keek......
......kkkk......
"""),
    ("jack-o'-lantern", """
................
......kkkk......
......kEEk......
..kkkkkEEkkkkk..
.kooooOooOoooOk.
koooooOooOooooOk
kookooOooOookoOk
kokkkoOooOokkkOk
koooooOooOooooOk
kooooookkoooooOk
kokooooooooookOk
kookkkkkkkkkkoOk
koookkokkokkooOk
.kooooOooOoooOk.
..kkkkkkkkkkkk..
................
"""),
    ("smiling face", """
.....kkkkkk.....
...kkyyyyyykk...
..klyyyyyyyyYk..
.klyyyyyyyyyyYk.
.kyyykyyyykyyYk.
kyyyykyyyykyyyYk
kyyyykyyyykyyyYk
kyyyyyyyyyyyyyYk
kyyyyyyyyyyyyyYk
kyykyyyyyyyykyYk
kyyykyyyyyykyyYk
.kyyykkkkkkyyYk.
.kyyyyyyyyyyyYk.
..kYyyyyyyyyYk..
...kkYYYYYYkk...
.....kkkkkk.....
"""),
    ("blue present with a red bow", """
..kkkk....kkkk..
.krrrRk..kRrrrk.
.krkkrRkkRrkkrk.
..kkrrRrrRrrkk..
.kkkkkkrRkkkkkk.
.kbbbbbrRbbbbBk.
.kbbbbbrRbbbbBk.
.krrrrrrRrrrrRk.
.kRRRRRRRRRRRRk.
.kbbbbbrRbbbbBk.
.kbbbbbrRbbbbBk.
.kbbbbbrRbbbbBk.
.kbbbbbrRbbbbBk.
.kBBBBBrRBBBBBk.
.kkkkkkkkkkkkkk.
................
"""),
    ("paper clip", """
................
........GG......
.......GWG......
......GWG..GWWG.
.....GWG..GWGGWG
....GWG..GWG.GWG
...GWG..GWG..GWG
..GWG..GWG..GWG.
.GWG..GWG..GWG..
GWG..GWG..GWG...
GWG.GWG..GWG....
GWG..G..GWG.....
GWG....GWG......
GWG...GWG.......
.GWWWWWG........
..GGGGG.........
"""),
    ("pink rose", """
.....kkkkkk.....
....knnmmnnk....
...kmnMMMMnmk...
...kmMnnnMMMk...
...kmMnMMnMMk...
...kMmMnnMMMk...
....kMMmmMMk....
.....kkkkkk.....
.......kek......
..kkk..kek......
.keefk.kek.kkk..
.kEeeekkekkeefk.
..kkEEekekeeEEk.
....kkkkekkkkk..
.......kek......
.......kkk......
"""),
    ("snowman", """
.....kkkkkk.....
.....kxxxxk.....
.....kxrrxk.....
...kkkkkkkkkk...
.....kwwwwk.....
....kwkwwkWk....
....kwwooWWk....
....kwwwwWWk....
...kkrrrrrrkk...
..kwwwwrRwwwWk..
.kwwwwwrRwwwWWk.
.kwwwwwkwwwwWWk.
.kwwwwwwwwwwWWk.
.kwwwwwkwwwwWWk.
..kWwwwwwwwWWk..
...kkkkkkkkkk...
"""),
    ("shamrock", """
....kk...kk.....
...kfek.keek....
...keeekeeek....
....keeeeEk.....
.kk..keeek..kk..
kfek..kek..keek.
keeek..k..keeEk.
.keeeekekeeeEk..
keeeekkekkeeeEk.
keek..kek..keek.
.kk...kek...kk..
.......kek......
.......kek......
........kek.....
........kek.....
........kkk.....
"""),
    ("turkey with a pumpkin", """
................
......kkkkkk....
..kk.krrrrrrkk..
.kuukrroooorrrk.
kukukroyyyyoorrk
yuuukoyyyyyyoork
kruuukyyyyyyyork
.ruuukyyyyyyyork
..kuuuuuuuuukork
..kuuuuuUuuukkkk
..kuuuuUuUuuk...
..kuuuuUuukkEk..
...kuuuuukkkkkk.
....kuuukkooOoOk
....kokokkooOoOk
....kokok.kkkkk.
"""),
    ("pink heart", """
................
................
................
...kkk....kkk...
..knnmk..kmmmk..
..knnmmkkmmmMk..
..knmmmmmmmmMk..
..kmmmmmmmmmMk..
...kmmmmmmmMk...
....kmmmmmMk....
.....kmmmMk.....
......kmMk......
.......kk.......
................
................
................
"""),
    ("blank", "\n" + "\n".join(["." * SIZE] * SIZE) + "\n"),
]

# The application icon at 16 px is the balloons picture itself.
APP_PICTURE = 4

# Sizes of the application icon installed into the hicolor icon theme.
THEME_SIZES = (16, 32, 48, 64, 128, 256)


def parse(subject, text):
    """The rows of one map, and what is wrong with them (nothing, normally)."""
    rows = text.strip("\n").split("\n")
    problems = []
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sizes = [len(r) for r in rows]
        problems.append(f"{subject}: expected {SIZE} rows of {SIZE}, got {len(rows)}: {sizes}")
    unknown = sorted({ch for r in rows for ch in r if ch not in PALETTE})
    if unknown:
        problems.append(f"{subject}: colours missing from PALETTE: {unknown}")
    return rows, problems


def picture(index):
    rows, problems = parse(*PICTURES[index])
    if problems:
        raise SystemExit("\n".join(problems))
    return rows


def strip_rows():
    problems = [] if len(PICTURES) == 33 else [f"the strip needs 33 pictures, not {len(PICTURES)}"]
    pictures = []
    for subject, text in PICTURES:
        rows, wrong = parse(subject, text)
        pictures.append(rows)
        problems += wrong
    if problems:
        raise SystemExit("\n".join(problems))
    return ["".join(p[y] for p in pictures) for y in range(SIZE)]


# --- The larger application icons: the same two balloons, painted from shapes so they stay
# smooth at any size. Red is in front, as in the small picture.

def balloon_rows(size):
    """The balloons at `size` pixels: shaded egg shapes with knots, outlined, and two strings."""
    scale = size / 48.0
    # Back to front: fill, light and shade letters, centre and radii in a 48 px frame.
    balloons = [
        ("e", "f", "E", (31.2, 21.2), (10.0, 12.5)),
        ("r", "p", "R", (16.8, 14.6), (10.0, 12.5)),
    ]
    meet = (23.0, 47.5)
    lx, ly, lz = -0.45, -0.6, 0.66
    norm = math.sqrt(lx * lx + ly * ly + lz * lz)
    lx, ly, lz = lx / norm, ly / norm, lz / norm
    string = len(balloons)
    # Lines stay 1 px up to 48 px and grow with the picture above that, so large icons keep the look.
    line = max(1, size // 48)
    grid = [["." for _ in range(size)] for _ in range(size)]
    owner = [[-1] * size for _ in range(size)]

    for z, (fill, light, shade, (cx, cy), (rx, ry)) in enumerate(balloons):
        for y in range(size):
            for x in range(size):
                px, py = (x + 0.5) / scale, (y + 0.5) / scale
                t = (py - cy) / ry
                # narrower towards the bottom, like a real balloon
                u = (px - cx) / (rx * (1.0 - 0.16 * max(0.0, t)))
                knot_top = cy + ry - 0.6
                in_knot = knot_top <= py <= knot_top + 3.4 and abs(px - cx) <= 0.9 + (py - knot_top) * 0.35
                if u * u + t * t > 1.0 and not in_knot:
                    continue
                owner[y][x] = z
                if u * u + t * t > 1.0:
                    grid[y][x] = shade
                    continue
                uz = math.sqrt(max(0.0, 1.0 - u * u - t * t))
                lit = u * lx + t * ly + uz * lz
                grid[y][x] = "w" if lit > 0.95 else light if lit > 0.78 else fill if lit > 0.25 else shade

    # Strings: a gentle curve from each knot to where they are held.
    for _, _, _, (cx, cy), (rx, ry) in balloons:
        x0, y0 = cx, cy + ry + 3.0
        bx, by = (x0 + meet[0]) / 2 + 3.0, (y0 + meet[1]) / 2
        for i in range(401):
            t = i / 400
            px = (1 - t) ** 2 * x0 + 2 * (1 - t) * t * bx + t * t * meet[0]
            py = (1 - t) ** 2 * y0 + 2 * (1 - t) * t * by + t * t * meet[1]
            for dy in range(line):
                for dx in range(line):
                    x, y = int(px * scale) + dx - line // 2, int(py * scale) + dy - line // 2
                    if 0 <= x < size and 0 <= y < size and owner[y][x] < 0:
                        grid[y][x], owner[y][x] = "G", string

    # Outline: a balloon pixel within `line` steps of the background, a string or a balloon
    # behind it.
    out = [row[:] for row in grid]
    reach = [(dx, dy) for dy in range(-line, line + 1) for dx in range(-line, line + 1)
             if abs(dx) + abs(dy) <= line and (dx or dy)]
    for y in range(size):
        for x in range(size):
            z = owner[y][x]
            if z < 0 or z == string:
                continue
            for dx, dy in reach:
                nx, ny = x + dx, y + dy
                if not (0 <= nx < size and 0 <= ny < size) or owner[ny][nx] in (-1, string) \
                        or owner[ny][nx] < z:
                    out[y][x] = "k"
                    break
    return ["".join(r) for r in out]


def doubled(rows):
    """The picture drawn at twice the size: each pixel becomes four, and where two touching
    neighbours agree across a corner the corner takes their colour (the Scale2x rule), so that
    slopes and curves stay smooth instead of turning into steps of two."""
    height, width = len(rows), len(rows[0])

    def at(x, y, default):
        return rows[y][x] if 0 <= x < width and 0 <= y < height else default

    out = [[None] * (2 * width) for _ in range(2 * height)]
    for y in range(height):
        for x in range(width):
            p = rows[y][x]
            up, down = at(x, y - 1, p), at(x, y + 1, p)
            left, right = at(x - 1, y, p), at(x + 1, y, p)
            if up != down and left != right:
                corners = (
                    left if left == up else p,
                    right if up == right else p,
                    left if left == down else p,
                    right if down == right else p,
                )
            else:
                corners = (p, p, p, p)
            out[2 * y][2 * x], out[2 * y][2 * x + 1] = corners[0], corners[1]
            out[2 * y + 1][2 * x], out[2 * y + 1][2 * x + 1] = corners[2], corners[3]
    return ["".join(r) for r in out]


def doubled_strip(strip):
    """Each picture of the strip doubled on its own, so no picture borrows from its neighbour."""
    pictures = [[r[i * SIZE:(i + 1) * SIZE] for r in strip] for i in range(len(strip[0]) // SIZE)]
    twice = [doubled(p) for p in pictures]
    return ["".join(p[y] for p in twice) for y in range(2 * SIZE)]


def xpm(name, rows, purpose):
    used = sorted({ch for r in rows for ch in r})
    lines = [
        "/* XPM */",
        f"/* {purpose}; written by {Path(__file__).name} from its maps, do not edit. */",
        f"static const char *{name}[] = {{",
        f'"{len(rows[0])} {len(rows)} {len(used)} 1",',
    ]
    for ch in used:
        colour = PALETTE[ch] or "None"
        lines.append(f'"{ch} c {colour}",')
    for i, r in enumerate(rows):
        lines.append(f'"{r}"' + ("," if i + 1 < len(rows) else ""))
    lines.append("};")
    return "\n".join(lines) + "\n"


def png_bytes(width, height, pixels):
    """A PNG file of RGB or RGBA pixels (a list of rows of 3- or 4-tuples)."""
    channels = len(pixels[0][0])
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    data = b"\x89PNG\r\n\x1a\n"
    colour_type = 6 if channels == 4 else 2
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9))
    data += chunk(b"IEND", b"")
    return data


def png(path, width, height, pixels):
    Path(path).write_bytes(png_bytes(width, height, pixels))


def icon_png(rows):
    """The application icon as a PNG with a transparent background, for the desktop's icon theme."""
    clear = (0, 0, 0, 0)
    pixels = [[clear if PALETTE[ch] is None else rgb(ch, None) + (255,) for ch in r] for r in rows]
    return png_bytes(len(rows[0]), len(rows), pixels)


def rgb(ch, background):
    colour = PALETTE[ch]
    if colour is None:
        return background
    return tuple(int(colour[i : i + 2], 16) for i in (1, 3, 5))


def contact_sheet(path, rows, extra):
    """Pictures 11 to a line, enlarged 6 times, once on a light and once on a dark ground."""
    zoom, gap, per_line = 6, 6, 11
    count = len(rows[0]) // SIZE
    lines = (count + per_line - 1) // per_line
    cell = SIZE * zoom + gap
    band = lines * cell + gap
    extra_h = max(len(r) for r in extra) * 3 + gap
    width = per_line * cell + gap
    height = 2 * (band + extra_h)
    grounds = [(236, 236, 228), (40, 44, 52)]
    pix = [[(128, 128, 128)] * width for _ in range(height)]
    for g, ground in enumerate(grounds):
        top = g * (band + extra_h)
        for y in range(top, top + band + extra_h):
            pix[y] = [ground] * width
        for i in range(count):
            ox = gap + (i % per_line) * cell
            oy = top + gap + (i // per_line) * cell
            for y in range(SIZE * zoom):
                row = rows[y // zoom]
                for x in range(SIZE * zoom):
                    pix[oy + y][ox + x] = rgb(row[i * SIZE + x // zoom], ground)
        ox = gap
        for icon in extra:
            for y in range(len(icon) * 3):
                for x in range(len(icon) * 3):
                    pix[top + band + y][ox + x] = rgb(icon[y // 3][x // 3], ground)
            ox += len(icon) * 3 + gap
    png(path, width, height, pix)


def main(argv):
    here = Path(__file__).resolve().parent
    strip = strip_rows()
    app16 = picture(APP_PICTURE)
    outputs = {
        "icon_strip.xpm": xpm("icon_strip", strip, "kivo's record icons, 33 pictures side by side"),
        "icon_strip@2x.xpm": xpm("icon_strip_2x", doubled_strip(strip),
                                 "kivo's record icons for twice the pixel density"),
        "kivo.xpm": xpm("kivo", app16, "kivo's application icon, 16 px"),
        "kivo_32.xpm": xpm("kivo_32", balloon_rows(32), "kivo's application icon, 32 px"),
        "kivo_48.xpm": xpm("kivo_48", balloon_rows(48), "kivo's application icon, 48 px"),
        "kivo_64.xpm": xpm("kivo_64", balloon_rows(64), "kivo's application icon, 64 px"),
        "kivo_96.xpm": xpm("kivo_96", balloon_rows(96), "kivo's application icon, 96 px"),
    }
    # The installed icons for the desktop's menu, at the usual icon-theme sizes.
    for size in THEME_SIZES:
        outputs[f"theme/kivo_{size}.png"] = icon_png(app16 if size == SIZE else balloon_rows(size))
    if "--check" in argv:
        stale = [n for n, data in outputs.items() if not (here / n).exists() or
                 (here / n).read_bytes() != (data if isinstance(data, bytes) else data.encode())]
        for n in stale:
            print(f"{n} is out of date; run {Path(__file__).name}")
        return 1 if stale else 0
    (here / "theme").mkdir(exist_ok=True)
    for name, data in outputs.items():
        if isinstance(data, bytes):
            (here / name).write_bytes(data)
        else:
            (here / name).write_text(data)
    if "--sheet" in argv:
        sheet = argv[argv.index("--sheet") + 1]
        contact_sheet(sheet, strip, [app16, balloon_rows(32), balloon_rows(48)])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
