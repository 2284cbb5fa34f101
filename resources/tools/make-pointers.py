#!/usr/bin/env python3
"""Draws the program's own pointers: HAND-M.CUR (the hand over buttons) and drag.ico (reordering rows).

Pixel art below: '#' outline (black), '.' fill (white), ' ' transparent. Run from this folder; the
files are written into ../beside/.
"""
import struct
from pathlib import Path

HAND = """
      ##
     #..#
     #..#
     #..#
     #..#
     #..###
     #..#..###
     #..#..#..##
  ## #..#..#..#.#
 #..##........#..#
 #...#...........#
  #..............#
   #.............#
   #............#
    #...........#
    #..........#
     #.........#
     #........#
      #.......#
      #########
"""

DRAG = """
               #
              #.#
             #...#
            #.....#
           #.......#
          #####.#####
              #.#
              #.#
   ##########################
   #........................#
   ##########################
   ##########################
   #........................#
   ##########################
              #.#
              #.#
          #####.#####
           #.......#
            #.....#
             #...#
              #.#
               #
"""


def pixels(art, size=32):
    rows = [line for line in art.strip("\n").split("\n")]
    grid = [[(0, 0, 0, 0)] * size for _ in range(size)]
    for y, line in enumerate(rows[:size]):
        for x, ch in enumerate(line[:size]):
            if ch == "#":
                grid[y][x] = (0, 0, 0, 255)
            elif ch == ".":
                grid[y][x] = (255, 255, 255, 255)
    return grid


def bitmap(grid):
    size = len(grid)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(grid) for (r, g, b, a) in row)
    mask = b""
    for row in reversed(grid):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    return header + xor + mask


def write(path, grid, kind, hotspot=(0, 0)):
    image = bitmap(grid)
    size = len(grid)
    planes_or_x, bits_or_y = hotspot if kind == 2 else (1, 32)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, planes_or_x, bits_or_y, len(image), 6 + 16)
    Path(path).write_bytes(struct.pack("<HHH", 0, kind, 1) + entry + image)


if __name__ == "__main__":
    out = Path(__file__).resolve().parent.parent / "beside"
    write(out / "HAND-M.CUR", pixels(HAND), 2, hotspot=(7, 0))
    write(out / "drag.ico", pixels(DRAG), 1)
