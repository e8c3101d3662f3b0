#!/usr/bin/env python3
"""Draws the program icon, tavlin.png (256x256): a stage with a drag path and
its thumb. Needs only Python; the drawn file is committed."""
import math
import struct
import sys
import zlib

SIZE = 256
SUB = 3  # samples per pixel side


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


# The drag path: a quadratic Bezier sampled into points.
P0, P1, P2 = (58, 176), (118, 60), (198, 128)
PATH = [((1 - t) ** 2 * P0[0] + 2 * (1 - t) * t * P1[0] + t * t * P2[0],
         (1 - t) ** 2 * P0[1] + 2 * (1 - t) * t * P1[1] + t * t * P2[1]) for t in [i / 200 for i in range(201)]]
THUMB = PATH[130]


def near_path(x, y, width):
    w2 = width * width
    return any((x - px) ** 2 + (y - py) ** 2 <= w2 for px, py in PATH[::2])


def colour(x, y):
    if not rounded_rect(x, y, 8, 8, 248, 248, 44):
        return (0, 0, 0, 0)
    if (x - THUMB[0]) ** 2 + (y - THUMB[1]) ** 2 <= 22 ** 2:
        inner = (x - THUMB[0]) ** 2 + (y - THUMB[1]) ** 2 <= 15 ** 2
        return (255, 255, 255, 255) if inner else (29, 78, 137, 255)
    if near_path(x, y, 7):
        return (255, 153, 0, 255)
    if rounded_rect(x, y, 36, 52, 220, 204, 10):
        shade = int(235 - (y - 52) * 0.35)
        return (shade, shade + 5, 250, 255)
    g = y / SIZE
    return (int(29 + 30 * g), int(78 + 40 * g), int(137 + 60 * g), 255)


def main(out):
    rows = []
    step = 1.0 / SUB
    for y in range(SIZE):
        row = bytearray([0])
        for x in range(SIZE):
            acc = [0, 0, 0, 0]
            for sy in range(SUB):
                for sx in range(SUB):
                    c = colour(x + (sx + 0.5) * step, y + (sy + 0.5) * step)
                    a = c[3]
                    acc[0] += c[0] * a
                    acc[1] += c[1] * a
                    acc[2] += c[2] * a
                    acc[3] += a
            n = SUB * SUB
            a = acc[3]
            row += bytes([acc[0] // a if a else 0, acc[1] // a if a else 0, acc[2] // a if a else 0, a // n])
        rows.append(bytes(row))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "tavlin.png")
