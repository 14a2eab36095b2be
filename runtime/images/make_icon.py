#!/usr/bin/env python3
"""Draws the Vantrel product icon as a 32x32 XPM picture of 16 colours.

Run from any folder: python3 runtime/images/make_icon.py
Writes Vantrel.xpm beside this script; the library compiles it in.
"""
import math
import os

# The classic 16-colour system palette, one XPM key character each;
# "." is the transparent mask.
COLOURS = {
    "k": "#000000", "m": "#800000", "g": "#008000", "o": "#808000",
    "n": "#000080", "p": "#800080", "t": "#008080", "s": "#C0C0C0",
    "d": "#808080", "r": "#FF0000", "l": "#00FF00", "y": "#FFFF00",
    "b": "#0000FF", "f": "#FF00FF", "c": "#00FFFF", "w": "#FFFFFF",
}
SIZE = 32


def segment_distance(x, y, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def tile(c):
    """A teal tile with rounded corners, lit from the top left."""
    for y in range(1, 31):
        for x in range(1, 31):
            corner = (x in (1, 30)) and (y in (1, 30))
            if corner:
                continue
            edge = x in (1, 30) or y in (1, 30) or (x in (2, 29) and y in (2, 29))
            c[y][x] = "k" if edge else "t"
    for i in range(3, 29):
        c[2][i] = c[i][2] = "c"
        c[29][i] = c[i][29] = "n"


def letter_v(c):
    """A white "V" with a navy outline and a grey shadow to its lower right."""
    arms = [((8.5, 6.5), (15.5, 24.0)), ((22.5, 6.5), (15.5, 24.0))]

    def distance(x, y):
        return min(segment_distance(x, y, a, b) for a, b in arms)

    for y in range(3, 29):
        for x in range(3, 29):
            if distance(x - 1, y - 1) <= 2.6 and distance(x, y) > 2.6:
                c[y][x] = "d"
    for y in range(3, 29):
        for x in range(3, 29):
            d = distance(x, y)
            if d <= 1.8:
                c[y][x] = "w"
            elif d <= 2.6:
                c[y][x] = "n"


def spark(c):
    """A small yellow star in the bottom right corner: the finishing touch."""
    cx, cy = 26, 26
    for dx, dy in [(0, 0), (1, 0), (-1, 0), (0, 1), (0, -1), (2, 0), (-2, 0), (0, 2), (0, -2)]:
        c[cy + dy][cx + dx] = "y"
    for dx, dy in [(1, 1), (-1, 1), (1, -1), (-1, -1)]:
        c[cy + dy][cx + dx] = "o"


def draw():
    c = [["."] * SIZE for _ in range(SIZE)]
    tile(c)
    letter_v(c)
    spark(c)
    return ["".join(row) for row in c]


def xpm(rows):
    lines = ["/* XPM */", "static const char *const vantrel_icon[] = {",
             f'"{SIZE} {SIZE} {len(COLOURS) + 1} 1",', '". c None",']
    lines += [f'"{key} c {value}",' for key, value in COLOURS.items()]
    lines += [f'"{row}",' for row in rows[:-1]] + [f'"{rows[-1]}"', "};"]
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "Vantrel.xpm"), "w", encoding="ascii") as f:
        f.write(xpm(draw()))
