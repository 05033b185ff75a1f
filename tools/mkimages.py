#!/usr/bin/env python3
"""Writes the report image strip: 36 glyphs of 16x16 pixels side by side in one
RGBA PNG (576x16). The program loads it into the image list of the report lists.

usage: mkimages.py OUT.png [--zoom N PREVIEW.png]
  --zoom N PREVIEW.png  also writes the strip N times larger, for looking at it
"""
import struct
import sys
import zlib

SIZE = 16
COUNT = 36

PALETTE = {
    '.': None,
    'k': (40, 40, 48),
    'w': (255, 255, 255),
    'g': (170, 170, 176),
    'G': (110, 110, 118),
    'b': (40, 90, 200),
    'B': (160, 195, 240),
    'r': (210, 35, 35),
    'y': (245, 205, 70),
    'Y': (190, 140, 30),
    'n': (40, 150, 60),
    'N': (160, 220, 160),
    'o': (240, 140, 30),
    'O': (250, 205, 150),
    'p': (140, 70, 170),
    'c': (30, 165, 185),
    's': (240, 200, 160),
}

# ---------------------------------------------------------------------------
# Drawn glyphs, one character a pixel (see PALETTE)

ART = {
    1: [  # sum sign: the totals row
        "................",
        "................",
        "..bbbbbbbbbbb...",
        "..bb.......bb...",
        "...bb.......b...",
        "....bb..........",
        ".....bb.........",
        "......bb........",
        "......bb........",
        ".....bb.........",
        "....bb..........",
        "...bb.......b...",
        "..bb.......bb...",
        "..bbbbbbbbbbb...",
        "................",
        "................",
    ],
    2: [  # page
        "................",
        "..kkkkkkkk......",
        "..kwwwwwwkk.....",
        "..kwwwwwwkwk....",
        "..kwwwwwwkkkk...",
        "..kwggggwwwwk...",
        "..kwwwwwwwwwk...",
        "..kwgggggggwk...",
        "..kwwwwwwwwwk...",
        "..kwgggggggwk...",
        "..kwwwwwwwwwk...",
        "..kwgggggggwk...",
        "..kwwwwwwwwwk...",
        "..kwwwwwwwwwk...",
        "..kkkkkkkkkkk...",
        "................",
    ],
    3: [  # host
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kbbbbbbbbbbbbk.",
        ".kbBBBBBBBBBBbk.",
        ".kbBwBBBBBBBBbk.",
        ".kbBBBBBBBBBBbk.",
        ".kbBBBBBBBBBBbk.",
        ".kbBBBBBBBBBBbk.",
        ".kbbbbbbbbbbbbk.",
        ".kkkkkkkkkkkkkk.",
        "......kggk......",
        "......kggk......",
        "...kkkkkkkkkk...",
        "...kggggggggk...",
        "...kkkkkkkkkk...",
        "................",
    ],
    4: [  # link
        "................",
        "................",
        "................",
        "................",
        "..kkkkk..kkkkk..",
        ".kccccckkccccck.",
        "kcc...kkkk...cck",
        "kc..kkkkkkkk..ck",
        "kc..kkkkkkkk..ck",
        "kcc...kkkk...cck",
        ".kccccckkccccck.",
        "..kkkkk..kkkkk..",
        "................",
        "................",
        "................",
        "................",
    ],
    5: [  # keyword: a key
        "................",
        "................",
        "................",
        "..kkkk..........",
        ".kyyyyk.........",
        "kyykkyyk........",
        "kyk..kykkkkkkkk.",
        "kyk..kyyyyyyyyyk",
        "kyykkyykkkykkykk",
        ".kyyyyk...kk.kk.",
        "..kkkk..........",
        "................",
        "................",
        "................",
        "................",
        "................",
    ],
    6: [  # search engine, robot-like clients: a magnifier
        "................",
        "...kkkkk........",
        "..kBBBBBk.......",
        ".kBwwBBBBk......",
        ".kBwBBBBBk......",
        ".kBBBBBBBk......",
        ".kBBBBBBBk......",
        ".kBBBBBBBk......",
        "..kBBBBBk.......",
        "...kkkkkGG......",
        "........GGG.....",
        ".........GGG....",
        "..........GGG...",
        "...........GGG..",
        "............GG..",
        "................",
    ],
    9: [  # spider
        "................",
        "................",
        "...k.......k....",
        "....k.....k.....",
        ".k...k.k.k...k..",
        "..k...kkk...k...",
        "...kkkkkkkkk....",
        ".....kkkkk......",
        "..kkkkkkkkkkk...",
        ".k...kkkkk...k..",
        "k...k.kkk.k...k.",
        "...k..kkk..k....",
        "..k....k....k...",
        "................",
        "................",
        "................",
    ],
    16: [  # date
        "................",
        ".....k....k.....",
        "..kkkkkkkkkkkk..",
        "..krrkrrrrkrrk..",
        "..krrrrrrrrrrk..",
        "..kkkkkkkkkkkk..",
        "..kwwwwwwwwwwk..",
        "..kwkkwkkwkkwk..",
        "..kwwwwwwwwwwk..",
        "..kwkkwkkwkkwk..",
        "..kwwwwwwwwwwk..",
        "..kwkkwkkwrrwk..",
        "..kwwwwwwwwwwk..",
        "..kkkkkkkkkkkk..",
        "................",
        "................",
    ],
    17: [  # folder
        "................",
        "................",
        ".kkkkk..........",
        "kyyyyyk.........",
        "kyyyyyykkkkkkkk.",
        "kyyyyyyyyyyyyyyk",
        "kYYYYYYYYYYYYYYk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kkkkkkkkkkkkkkkk",
        "................",
        "................",
    ],
    21: [  # visitor
        "................",
        "......kkkk......",
        ".....kssssk.....",
        "....kssssssk....",
        "....kssssssk....",
        "....kssssssk....",
        ".....kssssk.....",
        "......kkkk......",
        "....kkkkkkkk....",
        "...kbbbbbbbbk...",
        "..kbbbbbbbbbbk..",
        "..kbbbbbbbbbbk..",
        "..kbbbbbbbbbbk..",
        "..kbbbbbbbbbbk..",
        "..kkkkkkkkkkkk..",
        "................",
    ],
    26: [  # download
        "................",
        "......kkkk......",
        "......knnk......",
        "......knnk......",
        "......knnk......",
        "......knnk......",
        "...kkkknnkkkk...",
        "....knnnnnnk....",
        ".....knnnnk.....",
        "......knnk......",
        ".......kk.......",
        "................",
        ".k............k.",
        ".k............k.",
        ".kkkkkkkkkkkkkk.",
        "................",
    ],
    27: [  # checked box
        "................",
        "................",
        "..kkkkkkkkkkkk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwnwk..",
        "..kwwwwwwwnnwk..",
        "..kwwwwwwnnnwk..",
        "..kwnwwwnnnwwk..",
        "..kwnnwnnnwwwk..",
        "..kwnnnnnwwwwk..",
        "..kwwnnnwwwwwk..",
        "..kwwwnwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kkkkkkkkkkkk..",
        "................",
        "................",
    ],
    28: [  # unchecked box
        "................",
        "................",
        "..kkkkkkkkkkkk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kwwwwwwwwwwk..",
        "..kkkkkkkkkkkk..",
        "................",
        "................",
    ],
    30: [  # argument: a question mark
        "................",
        ".....kkkkkk.....",
        "....kppppppk....",
        "...kppkkkkppk...",
        "...kpk....kpk...",
        "....k.....kpk...",
        ".........kppk...",
        "........kppk....",
        ".......kppk.....",
        ".......kpk......",
        ".......kpk......",
        "........k.......",
        ".......kkk......",
        ".......kpk......",
        ".......kkk......",
        "................",
    ],
}

# A red cross laid over the lower right corner (error page, folder with errors).
CROSS = [
    "rr....rr",
    "rrr..rrr",
    ".rrrrrr.",
    "..rrrr..",
    "..rrrr..",
    ".rrrrrr.",
    "rrr..rrr",
    "rr....rr",
]


def blank():
    return [[None] * SIZE for _ in range(SIZE)]


def from_art(rows):
    assert len(rows) == SIZE, rows
    img = blank()
    for y, row in enumerate(rows):
        assert len(row) == SIZE, row
        for x, ch in enumerate(row):
            img[y][x] = PALETTE[ch]
    return img


def overlay(img, rows, ox, oy):
    out = [list(r) for r in img]
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if PALETTE[ch] is not None:
                out[oy + y][ox + x] = PALETTE[ch]
    return out


def stacked_pages(accent, light):
    """Two pages, one behind the other, in a group's colour."""
    img = blank()

    def page(x0, y0, x1, y1, fill, lines):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                img[y][x] = PALETTE['k'] if edge else fill
        if lines:
            for y in range(y0 + 3, y1 - 1, 2):
                for x in range(x0 + 2, x1 - 1):
                    img[y][x] = accent

    page(5, 1, 14, 11, light, False)
    page(1, 4, 10, 14, PALETTE['w'], True)
    return img


def shape(kind, colour):
    """The plain glyphs of the indexes no report uses."""
    img = blank()
    k = PALETTE['k']
    for y in range(SIZE):
        for x in range(SIZE):
            cx, cy = x - 7.5, y - 7.5
            inside = edge = False
            if kind == 'square':
                inside = abs(cx) <= 5 and abs(cy) <= 5
                edge = inside and (abs(cx) > 4 or abs(cy) > 4)
            elif kind == 'circle':
                d = cx * cx + cy * cy
                inside = d <= 36
                edge = inside and d > 22
            elif kind == 'diamond':
                d = abs(cx) + abs(cy)
                inside = d <= 7
                edge = inside and d > 5.5
            elif kind == 'up':
                inside = 2 <= y <= 13 and abs(cx) <= (y - 2) * 0.55
                edge = inside and (y == 13 or abs(cx) > (y - 2) * 0.55 - 1.2)
            elif kind == 'down':
                inside = 2 <= y <= 13 and abs(cx) <= (13 - y) * 0.55
                edge = inside and (y == 2 or abs(cx) > (13 - y) * 0.55 - 1.2)
            elif kind == 'plus':
                inside = (abs(cx) <= 2 and abs(cy) <= 6) or (abs(cy) <= 2 and abs(cx) <= 6)
                edge = inside and not ((abs(cx) <= 1 and abs(cy) <= 5) or (abs(cy) <= 1 and abs(cx) <= 5))
            elif kind == 'ring':
                d = cx * cx + cy * cy
                inside = 9 <= d <= 36
                edge = inside and (d > 26 or d < 14)
            elif kind == 'bars':
                heights = [4, 8, 11, 6]
                col = (x - 2) // 3
                inside = 2 <= x <= 13 and (x - 2) % 3 != 2 and 0 <= col < 4 and y >= 14 - heights[col] and y <= 13
                edge = False
            if inside:
                img[y][x] = k if edge else colour
    return img


def no_agent():
    """A circle struck through: no user agent."""
    img = blank()
    r = PALETTE['r']
    for y in range(SIZE):
        for x in range(SIZE):
            cx, cy = x - 7.5, y - 7.5
            d = cx * cx + cy * cy
            if 25 <= d <= 49 or (d <= 49 and abs(cx + cy) <= 1.0):
                img[y][x] = r
    return img


def globe():
    img = blank()
    for y in range(SIZE):
        for x in range(SIZE):
            cx, cy = x - 7.5, y - 7.5
            d = cx * cx + cy * cy
            if d <= 49:
                line = abs(cy) < 0.6 or abs(cx) < 0.6 or abs(abs(cx) - 3.5 * (1 - (cy / 7) ** 2) ** 0.5) < 0.6
                img[y][x] = PALETTE['k'] if d > 40 or line else PALETTE['B']
    return img


def glyphs():
    imgs = {i: from_art(rows) for i, rows in ART.items()}
    imgs[7] = globe()
    imgs[8] = overlay(imgs[2], CROSS, 8, 8)
    imgs[22] = overlay(imgs[17], CROSS, 8, 8)
    imgs[29] = stacked_pages(PALETTE['b'], PALETTE['B'])
    imgs[31] = stacked_pages(PALETTE['o'], PALETTE['O'])
    imgs[32] = no_agent()
    imgs[25] = shape('diamond', PALETTE['g'])
    plain = [
        ('square', 'G'), ('circle', 'n'), ('up', 'o'), ('down', 'c'), ('plus', 'p'), ('ring', 'b'), ('bars', 'n'),
        ('square', 'r'), ('circle', 'y'), ('up', 'b'), ('diamond', 'o'), ('plus', 'c'), ('ring', 'r'),
        ('bars', 'o'), ('down', 'p'),
    ]
    free = [i for i in range(COUNT) if i not in imgs]
    assert len(free) <= len(plain), free
    for i, (kind, colour) in zip(free, plain):
        imgs[i] = shape(kind, PALETTE[colour])
    return [imgs[i] for i in range(COUNT)]


def png(width, height, pixel):
    """An RGBA PNG of pixel(x, y) -> (r, g, b) or None (transparent)."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # no filter
        for x in range(width):
            p = pixel(x, y)
            raw.extend((0, 0, 0, 0) if p is None else (p[0], p[1], p[2], 255))

    def chunk(tag, data):
        body = tag + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) +
            chunk(b'IEND', b''))


def main(argv):
    if len(argv) not in (2, 5) or (len(argv) == 5 and argv[2] != '--zoom'):
        sys.stderr.write(__doc__)
        return 2
    strip = glyphs()

    def pixel(x, y):
        return strip[x // SIZE][y][x % SIZE]

    with open(argv[1], 'wb') as f:
        f.write(png(SIZE * COUNT, SIZE, pixel))
    if len(argv) == 5:
        zoom = int(argv[3])
        grey = (225, 225, 225)
        with open(argv[4], 'wb') as f:
            f.write(png(SIZE * COUNT * zoom, SIZE * zoom, lambda x, y: pixel(x // zoom, y // zoom) or grey))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
