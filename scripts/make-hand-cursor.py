#!/usr/bin/env python3
"""Writes resources/HAND-M.CUR: a 32x32 pointing hand in the Windows cursor format, hotspot on
the fingertip. Run it again after changing the drawing below."""
import struct
import sys

# '#' outline, '.' fill, ' ' transparent. The fingertip is the hotspot.
ART = [
    "     ##",
    "    #..#",
    "    #..#",
    "    #..#",
    "    #..#",
    "    #..###",
    "    #..#..###",
    "    #..#..#..###",
    "    #..#..#..#..#",
    " ## #..#..#..#..#",
    "#..##..#..#..#..#",
    "#...#...........#",
    " #..............#",
    "  #.............#",
    "  #............#",
    "   #...........#",
    "   #..........#",
    "    #.........#",
    "    #........#",
    "     #.......#",
    "     #.......#",
    "     #########",
]
HOTSPOT = (5, 0)
SIZE = 32


def pixels():
    rows = ART + [" " * SIZE] * (SIZE - len(ART))
    for y in range(SIZE):
        row = rows[y].ljust(SIZE)
        for x in range(SIZE):
            yield x, y, row[x]


def build():
    colour = {}
    for x, y, c in pixels():
        if c == "#":
            colour[(x, y)] = (0, 0, 0, 255)
        elif c == ".":
            colour[(x, y)] = (255, 255, 255, 255)
        else:
            colour[(x, y)] = (0, 0, 0, 0)
    # BITMAPINFOHEADER with doubled height (XOR image plus AND mask), 32 bits per pixel, bottom-up.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in reversed(range(SIZE)):
        for x in range(SIZE):
            r, g, b, a = colour[(x, y)]
            xor += bytes((b, g, r, a))
    mask = bytearray()
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            if colour[(x, y)][3] == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    image = header + bytes(xor) + bytes(mask)
    icondir = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOTSPOT[0], HOTSPOT[1], len(image), 6 + 16)
    return icondir + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/HAND-M.CUR"
    with open(out, "wb") as f:
        f.write(build())
