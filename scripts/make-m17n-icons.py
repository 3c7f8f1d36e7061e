#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the 48x48 icons of the m17n input methods (packaging/icons/ug-*.png).

The panel of ibus or fcitx5 shows them beside the method's name: a key cap with a hamza
carrier, and a Latin underline (phonetic keyboard) or a Latin "a" (Latin spelling). Standard library only; run it again after changing a shape,
and commit the PNG files.
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZE, SUPER = 48, 4


def rounded_rect(x, y, w, h, r):
    cx, cy, hx, hy = x + w / 2, y + h / 2, w / 2 - r, h / 2 - r
    def sd(px, py):
        qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return sd


def polyline(points, width):
    def sd(px, py):
        best = 1e9
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
            best = min(best, math.hypot(px - ax - t * dx, py - ay - t * dy))
        return best - width / 2
    return sd


def quadratic(p0, p1, p2, n=24):
    return [((1 - t) ** 2 * p0[0] + 2 * (1 - t) * t * p1[0] + t * t * p2[0],
             (1 - t) ** 2 * p0[1] + 2 * (1 - t) * t * p1[1] + t * t * p2[1])
            for t in (i / n for i in range(n + 1))]


def circle(cx, cy, r):
    return lambda px, py: math.hypot(px - cx, py - cy) - r


def outline(sd, width):
    return lambda px, py: abs(sd(px, py)) - width / 2


def rgb(hex_colour):
    return tuple(int(hex_colour[i:i + 2], 16) / 255 for i in (1, 3, 5))


# The shapes of the icons (48-pixel grid), painted in order.
STROKE = quadratic((33, 18), (30, 27), (22, 25)) + quadratic((22, 25), (17, 24), (16, 20))[1:]
PHONETIC = [
    (rounded_rect(3, 5, 42, 38, 6), "#e8eef7"),
    (outline(rounded_rect(3, 5, 42, 38, 6), 2), "#5a6f8f"),
    (rounded_rect(7, 8, 34, 29, 4), "#fffbf0"),
    (polyline(STROKE, 3.5), "#1d3557"),
    (circle(25, 14, 2.2), "#1d3557"),
    (polyline([(12, 32), (20, 32)], 3), "#e07a2f"),
]
LATIN = PHONETIC[:-1] + [
    (outline(circle(14, 30, 3), 2.2), "#e07a2f"),
    (polyline([(17, 26.5), (17, 33)], 2.2), "#e07a2f"),
]


def render(shapes):
    rows = []
    for y in range(SIZE):
        row = bytearray([0])  # filter type: none
        for x in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied RGB and alpha
            for sy in range(SUPER):
                for sx in range(SUPER):
                    px, py = x + (sx + 0.5) / SUPER, y + (sy + 0.5) / SUPER
                    colour, alpha = (0.0, 0.0, 0.0), 0.0
                    for sd, fill in shapes:
                        if sd(px, py) <= 0:
                            colour, alpha = rgb(fill), 1.0
                    for i in range(3):
                        acc[i] += colour[i] * alpha
                    acc[3] += alpha
            a = acc[3] / SUPER ** 2
            rgb_out = [round(255 * c / acc[3]) if acc[3] else 0 for c in acc[:3]]
            row += bytes(rgb_out + [round(255 * a)])
        rows.append(bytes(row))
    return rows


def write_png(path, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    Path(path).write_bytes(png)


if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent / "packaging/icons")
    write_png(out / "ug-phonetic.png", render(PHONETIC))
    write_png(out / "ug-latin.png", render(LATIN))
