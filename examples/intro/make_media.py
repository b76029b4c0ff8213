#!/usr/bin/env python3
"""Makes the intro example's media: a FLIC intro of widening coloured rings (drawn here,
written with scripts/flic_writer.py) and two balls borrowed from the demo's drawing code.

  make_media.py OUTDIR
"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "demo"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
from flic_writer import write_flc  # noqa: E402
from make_media import ball, write_png  # noqa: E402

WIDTH, HEIGHT, FRAMES = 160, 120, 40  # 3.2 s at a frame every 80 ms


def rings(frame):
    """Rings around the centre that widen frame by frame; index 0 is the dark ground."""
    pixels = bytearray(WIDTH * HEIGHT)
    for y in range(HEIGHT):
        for x in range(WIDTH):
            r = math.hypot(x - WIDTH / 2, y - HEIGHT / 2)
            if r < frame * 3:
                pixels[y * WIDTH + x] = 1 + int(r / 6 + frame) % 32
    return bytes(pixels)


def palette():
    colours = [(10, 10, 30)]
    for i in range(32):  # a warm-to-cool wheel
        t = i / 32 * 2 * math.pi
        colours.append(tuple(int(127 + 120 * math.sin(t + k * 2.1)) for k in range(3)))
    return colours + [(0, 0, 0)] * (256 - len(colours))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    write_flc(os.path.join(out, "intro.flc"), WIDTH, HEIGHT, [rings(i) for i in range(FRAMES)],
              [palette()] + [None] * (FRAMES - 1))
    for name, hue in (("ball-red", (230, 50, 40)), ("ball-blue", (60, 110, 240))):
        write_png(os.path.join(out, name + ".png"), 96, 96, ball(96, hue), True)


if __name__ == "__main__":
    main()
