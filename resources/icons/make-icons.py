#!/usr/bin/env python3
"""Draws the client's icons: the green window icon and the alternate tray
icon that blinks with it, as PNG files at 16, 32, 48 and 64 pixels (sharp at
1x and 2x scale) and as one .ico file holding those and the sizes Windows
picks at other scales (20, 24, 40 and 256). Pure Python, no
imaging library: shapes are sampled 4 x 4 times per pixel.

    python3 resources/icons/make-icons.py    # rewrites the files beside it
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = (16, 32, 48, 64)
ICO_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
SAMPLES = 4


def rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def triangle(x, y, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    d1, d2, d3 = side((x, y), a, b), side((x, y), b, c), side((x, y), c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def colour_at(x, y, background):
    """The colour at a point of the unit square, or None outside the icon."""
    white = (255, 255, 255)
    if not rounded_rect(x, y, 0.02, 0.02, 0.98, 0.98, 0.2):
        return None
    bubble = rounded_rect(x, y, 0.18, 0.22, 0.82, 0.68, 0.14) or triangle(
        x, y, (0.30, 0.62), (0.46, 0.66), (0.26, 0.84))
    if not bubble:
        return background
    for dot_x in (0.35, 0.5, 0.65):
        if (x - dot_x) ** 2 + (y - 0.45) ** 2 <= 0.055 ** 2:
            return background
    return white


def render(size, background):
    rows = []
    for py in range(size):
        row = bytearray([0])  # filter: none
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                  (py + (sy + 0.5) / SAMPLES) / size, background)
                    if c is not None:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            n = SAMPLES * SAMPLES
            if a:
                row += bytes((r // a, g // a, b // a, 255 * a // n))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    for name, background in (("quorvel", (26, 173, 91)), ("quorvel-alert", (255, 122, 69))):
        images = []
        for size in ICO_SIZES:
            data = png(size, render(size, background))
            images.append((size, data))
            if size in SIZES:
                with open(os.path.join(HERE, "%s-%d.png" % (name, size)), "wb") as f:
                    f.write(data)
        with open(os.path.join(HERE, name + ".ico"), "wb") as f:
            f.write(ico(images))


if __name__ == "__main__":
    main()
