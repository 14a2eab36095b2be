#!/usr/bin/env python3
"""Draws Morlex's pictures as small palette PNG files (standard library only).

Run from any folder: python3 tool/images/make_images.py
Writes Morlex.png (32x32, 16 colours), the tree images folder.png,
page.png and page_tick.png (16x16), and the language file menu's button
picture langfile.png (24x24) beside this script.
"""
import os
import struct
import zlib

# The 16 colours of the classic system palette; index 0 is transparent.
PALETTE = [
    (255, 0, 255), (0, 0, 0), (128, 0, 0), (0, 128, 0),
    (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (0, 255, 255), (255, 255, 255),
]
T, BLACK, GREY, LIGHT, RED, YELLOW, OLIVE, NAVY, BLUE, WHITE, TEAL = 0, 1, 9, 8, 10, 12, 4, 5, 13, 15, 7


def png(path, pixels):
    height, width = len(pixels), len(pixels[0])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    def packed(row):  # two 4-bit palette indices per byte
        return bytes((row[i] << 4) | (row[i + 1] if i + 1 < width else 0) for i in range(0, width, 2))

    raw = b"".join(b"\0" + packed(row) for row in pixels)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 4, 3, 0, 0, 0))
    data += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
    data += chunk(b"tRNS", b"\0")
    data += chunk(b"IDAT", zlib.compress(raw, 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def canvas(size):
    return [[T] * size for _ in range(size)]


def rect(c, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            c[y][x] = colour


def frame(c, x0, y0, x1, y1, colour):
    for x in range(x0, x1 + 1):
        c[y0][x] = c[y1][x] = colour
    for y in range(y0, y1 + 1):
        c[y][x0] = c[y][x1] = colour


def folder():
    c = canvas(16)
    rect(c, 1, 3, 6, 4, YELLOW)          # tab
    frame(c, 1, 3, 6, 4, OLIVE)
    rect(c, 1, 5, 14, 13, YELLOW)        # body
    frame(c, 1, 5, 14, 13, OLIVE)
    for x in range(2, 14):
        c[6][x] = WHITE                  # highlight along the top edge
    return c


def folded_page(c, x0, y0, x1, y1, fold):
    rect(c, x0, y0, x1, y1, WHITE)
    frame(c, x0, y0, x1, y1, BLACK)
    # the folded top-right corner: cut off along the diagonal, fold shown grey
    left, bottom = x1 - fold + 1, y0 + fold - 1
    for y in range(y0, bottom + 1):
        for x in range(left, x1 + 1):
            d = (x - left) - (y - y0)
            if d > 0:
                c[y][x] = T
            elif d == 0 or x == left or y == bottom:
                c[y][x] = BLACK
            else:
                c[y][x] = LIGHT
    return c


def page():
    return folded_page(canvas(16), 3, 1, 12, 14, 4)


def page_tick():
    c = page()
    tick = [(5, 9), (6, 10), (7, 11), (8, 10), (9, 9), (10, 8), (11, 7), (12, 6)]
    for x, y in tick:
        c[y][x] = RED
        c[y + 1][x] = RED
    return c


# A 5x7 pixel font for the few letters the icon needs.
GLYPHS = {
    "M": ["1...1", "11.11", "1.1.1", "1.1.1", "1...1", "1...1", "1...1"],
    "A": [".111.", "1...1", "1...1", "11111", "1...1", "1...1", "1...1"],
    "b": ["1....", "1....", "1111.", "1...1", "1...1", "1...1", "1111."],
}


def text(c, x, y, letters, colour, scale=1):
    for letter in letters:
        for row, line in enumerate(GLYPHS[letter]):
            for col, bit in enumerate(line):
                if bit == "1":
                    rect(c, x + col * scale, y + row * scale,
                         x + col * scale + scale - 1, y + row * scale + scale - 1, colour)
        x += 6 * scale


def icon():
    c = canvas(32)
    # a navy speech bubble with a white "M" ...
    rect(c, 1, 2, 24, 20, NAVY)
    frame(c, 1, 2, 24, 20, BLACK)
    for i in range(4):
        rect(c, 5 + i, 21 + i, 8, 21 + i, NAVY)
        c[21 + i][4 + i] = BLACK
        c[21 + i][9] = BLACK if i < 3 else c[21 + i][9]
    text(c, 3, 5, "M", WHITE, 2)
    # ... and a yellow page with "Ab" behind it, for the translation
    rect(c, 14, 13, 30, 30, YELLOW)
    frame(c, 14, 13, 30, 30, BLACK)
    text(c, 16, 17, "Ab", BLUE)
    for x in range(16, 29, 2):
        c[26][x] = RED
        c[28][x] = TEAL
    return c


def langfile():
    # a language file: a page with "Ab" and lines of text in two colours
    c = folded_page(canvas(24), 4, 1, 19, 22, 5)
    text(c, 6, 4, "Ab", BLUE)
    for y, colour in ((13, NAVY), (15, RED), (17, NAVY), (19, TEAL)):
        for x in range(6, 18):
            c[y][x] = colour
    return c


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    png(os.path.join(here, "Morlex.png"), icon())
    png(os.path.join(here, "folder.png"), folder())
    png(os.path.join(here, "page.png"), page())
    png(os.path.join(here, "page_tick.png"), page_tick())
    png(os.path.join(here, "langfile.png"), langfile())
