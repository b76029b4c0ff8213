#!/usr/bin/env python3
"""Draws the feed box picture RSS_BOX: 350 x 120 RGBA, a rounded light box on a soft
shadow, with a light grey top band, a near-white body and a blue bottom band. The
runtime cuts it into nine slices and tiles them to the size of each card, so:
  - columns 298..313 and rows 58..59 must repeat seamlessly (they are tiled);
  - the box edges sit at the same distance from the picture's right and bottom edges in
    every slice (x 16 .. 333, y 6 .. 108);
  - the body colour is read at (33, 58).
Standard library only; the output is committed as rss_box.png.

  make_rss_box.py OUT.png
"""
import math
import struct
import sys
import zlib

W, H = 350, 120
LEFT, TOP, RIGHT, BOTTOM = 16, 6, 334, 109   # the box, right and bottom exclusive
RADIUS = 11.0
TOP_BAND_END = 46     # light grey heading band: rows TOP .. 45
BLUE_BAND_START = 80  # blue band from this row to the bottom
SHADOW_DX, SHADOW_DY, SHADOW_SOFT = 3.0, 4.0, 5.0

GREY_TOP = (226, 229, 234)
GREY_BOTTOM = (236, 238, 242)
BODY = (251, 251, 252)
BLUE_TOP = (52, 110, 184)
BLUE_BOTTOM = (30, 78, 146)
BORDER = (150, 158, 170)


def rounded_distance(x, y, left, top, right, bottom, r):
    """Signed distance from the pixel centre to a rounded rectangle (negative inside)."""
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    dx, dy = x - cx, y - cy
    if left + r <= x <= right - r or top + r <= y <= bottom - r:
        # along a straight edge
        return max(left - x, x - right, top - y, y - bottom)
    return math.hypot(dx, dy) - r


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def fill_colour(y):
    if y < TOP_BAND_END:
        return mix(GREY_TOP, GREY_BOTTOM, (y - TOP) / (TOP_BAND_END - TOP))
    if y == TOP_BAND_END:
        return BORDER  # a hairline under the heading band
    if y < BLUE_BAND_START:
        return BODY
    return mix(BLUE_TOP, BLUE_BOTTOM, (y - BLUE_BAND_START) / (BOTTOM - BLUE_BAND_START))


def pixel(x, y):
    px, py = x + 0.5, y + 0.5
    # Shadow: a blurred copy of the box shape, offset down and right.
    sd = rounded_distance(px - SHADOW_DX, py - SHADOW_DY, LEFT, TOP, RIGHT, BOTTOM, RADIUS)
    shadow = 0.0 if sd > SHADOW_SOFT else (1.0 if sd < -SHADOW_SOFT else 0.5 - sd / (2 * SHADOW_SOFT))
    shadow_alpha = 90.0 * shadow
    d = rounded_distance(px, py, LEFT, TOP, RIGHT, BOTTOM, RADIUS)
    coverage = min(max(0.5 - d, 0.0), 1.0)
    colour = fill_colour(y)
    # A one-pixel border just inside the edge.
    border = min(max(1.0 - abs(d + 0.5), 0.0), 1.0)
    colour = mix(colour, BORDER, border * 0.9)
    # Box over shadow (shadow is black).
    a_box = 255.0 * coverage
    a = a_box + shadow_alpha * (1 - coverage)
    if a <= 0:
        return (0, 0, 0, 0)
    rgb = tuple(round(c * a_box / a) for c in colour)
    return rgb + (round(a),)


def write_png(path, rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for p in row:
            raw.extend(p)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def main():
    rows = [[pixel(x, y) for x in range(W)] for y in range(H)]
    # The tiled parts must repeat: every column of 298..313 and 48..207 equal, rows 58, 59 equal.
    for y in range(H):
        assert len({rows[y][x] for x in range(298, 314)}) == 1, y
    assert rows[58] == rows[59]
    assert len({rows[58][x] for x in range(48, 208)}) == 1
    write_png(sys.argv[1], rows)


if __name__ == "__main__":
    main()
