#!/usr/bin/env python3
"""Draws the document window's pictures: the ruler heads and digit strips
(rulers/) and the selection handles (handles/). Run from this folder; the
PNG files it writes are the ones compiled in (rulers.qrc, handles.qrc)."""
import struct
import zlib

# 5 x 7 glyphs, rows from the top, "1" = ink.
GLYPHS = {
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11111", "00010", "00100", "00010", "00001", "10001", "01110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    "-": ["00000", "00000", "00000", "01110", "00000", "00000", "00000"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    "p": ["00000", "00000", "11110", "10001", "11110", "10000", "10000"],
    "x": ["00000", "00000", "10001", "01010", "00100", "01010", "10001"],
    "c": ["00000", "00000", "01110", "10000", "10000", "10001", "01110"],
    "m": ["00000", "00000", "11010", "10101", "10101", "10101", "10101"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
    "n": ["00000", "00000", "10110", "11001", "10001", "10001", "10001"],
    "t": ["01000", "01000", "11100", "01000", "01000", "01001", "00110"],
}

CLEAR = (0, 0, 0, 0)
BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)


def png(path, pixels):
    """pixels: rows of (r, g, b, a)."""
    h, w = len(pixels), len(pixels[0])
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def canvas(w, h, fill=CLEAR):
    return [[fill] * w for _ in range(h)]


def put_glyph(img, ch, x, y, turned=False):
    """turned: rotated a quarter turn anticlockwise (read from the bottom up)."""
    for r, row in enumerate(GLYPHS[ch]):
        for c, bit in enumerate(row):
            if bit == "1":
                if turned:
                    img[y + 4 - c][x + r] = BLACK
                else:
                    img[y + r][x + c] = BLACK


DIGITS = "0123456789-."
ADVANCE = 7


def digit_strips():
    h = canvas(ADVANCE * len(DIGITS), 8)
    v = canvas(8, ADVANCE * len(DIGITS))
    for i, ch in enumerate(DIGITS):
        put_glyph(h, ch, i * ADVANCE, 0)
        # Each cell of the vertical strip holds the glyph turned, its foot
        # towards the ruler's inner edge; the label reads upwards.
        put_glyph(v, ch, 0, i * ADVANCE + 1, turned=True)
    png("rulers/RULERDIGITH.png", h)
    png("rulers/RULERDIGITV.png", v)


def ruler_head(name, text):
    img = canvas(16, 16, WHITE)
    for i in range(16):
        img[15][i] = BLACK
        img[i][15] = BLACK
    x = (15 - (len(text) * 6 - 1)) // 2
    for ch in text:
        put_glyph(img, ch, x, 4)
        x += 6
    png("rulers/%s.png" % name, img)


def square(size, outer, inner):
    img = canvas(size, size, outer)
    for y in range(1, size - 1):
        for x in range(1, size - 1):
            img[y][x] = inner
    return img


def disc(size, ring, inside, dot=False):
    img = canvas(size, size)
    c = (size - 1) / 2.0
    for y in range(size):
        for x in range(size):
            d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
            if d <= c + 0.3:
                img[y][x] = ring if d > c - 1.2 else inside
    if dot:
        m = size // 2
        for d in range(-1, 2):
            img[m][m + d] = BLACK
            img[m + d][m] = BLACK
    return img


def diamond(size, ring, inside):
    img = canvas(size, size)
    m = size // 2
    for y in range(size):
        for x in range(size):
            d = abs(x - m) + abs(y - m)
            if d <= m:
                img[y][x] = ring if d == m else inside
    return img


def handles():
    # Resize handles: black squares with a white rim, seen on any colour.
    for name in ("BMH", "BMV", "BMLT", "BMRT"):
        png("handles/%s.png" % name, square(7, WHITE, BLACK))
    png("handles/BMROTCTR.png", disc(9, BLACK, WHITE, dot=True))
    png("handles/BMROTTGT.png", disc(7, BLACK, WHITE))
    png("handles/BMNODE.png", square(7, BLACK, WHITE))
    png("handles/BMNODESEL.png", square(7, WHITE, BLACK))
    png("handles/BMCTRL.png", diamond(7, BLACK, WHITE))
    png("handles/BMCTRLSEL.png", diamond(7, WHITE, BLACK))


if __name__ == "__main__":
    digit_strips()
    for name, text in (("RHPIXEL", "px"), ("RHCM", "cm"), ("RHINCH", "in"), ("RHPOINT", "pt")):
        ruler_head(name, text)
    handles()
