#!/usr/bin/env python3
"""Draws the Zevrino icon and writes it as a multi-size .ico file.

usage: make_icon.py OUTPUT.ico

The icon is a blue rounded square with a white "Z", rendered at 16, 24, 32
and 48 pixels with 4x4 supersampling. Each size is stored as a 32-bit BGRA
DIB with its 1-bit AND mask, which every Windows version reads; the file stays
around 20 KB, so it is generated at build time instead of being committed.
"""

import struct
import sys

SIZES = (16, 24, 32, 48)
SUPERSAMPLE = 4


def coverage(x, y):
    """Returns (in_square, in_letter) for a point in the unit square."""
    radius = 0.2
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    in_square = (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    left, right, top, bottom, bar = 0.25, 0.75, 0.22, 0.78, 0.13
    in_letter = False
    if left <= x <= right:
        if top <= y <= top + bar or bottom - bar <= y <= bottom:
            in_letter = True
        elif top + bar < y < bottom - bar:
            # Diagonal from the top bar's right end to the bottom bar's left end.
            t = (y - (top + bar)) / ((bottom - bar) - (top + bar))
            centre = right - t * (right - left)
            in_letter = abs(x - centre) <= 0.1
    return in_square, in_letter and in_square


def render(size):
    """Returns rows of (b, g, r, a) from top to bottom."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            square = letter = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (px + (sx + 0.5) / SUPERSAMPLE) / size
                    y = (py + (sy + 0.5) / SUPERSAMPLE) / size
                    s, l = coverage(x, y)
                    square += s
                    letter += l
            n = SUPERSAMPLE * SUPERSAMPLE
            alpha = square / n
            if square == 0:
                row.append((0, 0, 0, 0))
                continue
            white = letter / square
            # Blue background (0x1E6FD9) blended with white by letter coverage.
            r = round(0x1E + (0xFF - 0x1E) * white)
            g = round(0x6F + (0xFF - 0x6F) * white)
            b = round(0xD9 + (0xFF - 0xD9) * white)
            row.append((b, g, r, round(alpha * 255)))
        rows.append(row)
    return rows


def dib(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        for b, g, r, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def main():
    images = [dib(size) for size in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
