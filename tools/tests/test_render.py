#!/usr/bin/env python3
"""quorvex-render: the motion rules as its trace shows them, and golden renders of the
demo saver (frames compared with stored pictures of ours).

  test_render.py QUORVEX-RENDER [--regenerate]

--regenerate rewrites the stored golden pictures; do it only on purpose, after checking
the new frames by eye."""
import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "scripts"))
from flic_writer import write_flc  # noqa: E402

RENDER = sys.argv[1]
REGENERATE = "--regenerate" in sys.argv
del sys.argv[1:]

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GOLDEN = os.path.join(ROOT, "tests", "data", "golden")
DEMO = os.path.join(ROOT, "examples", "demo")


def read_png(path):
    """Width, height and RGB bytes of an 8-bit RGB, non-interlaced PNG."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, colour, interlace) == (8, 2, 0), "only 8-bit RGB pictures"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, out, prev = zlib.decompress(idat), width * 3, bytearray(), bytearray(width * 3)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = prev[i], prev[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out += line
        prev = line
    return width, height, bytes(out)


def write_bmp(path, width, height, rgb):
    stride = (width * 3 + 3) & ~3
    rows = b"".join(bytes(c for px in range(width) for c in reversed(rgb)) + b"\0" * (stride - width * 3)
                    for _ in range(height))
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54) +
                struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 0, 0, 0, 0) + rows)


def render(manifest, out, *args):
    p = subprocess.run([RENDER, manifest, "--out", out, *args], capture_output=True, text=True, timeout=300)
    if p.returncode != 0:
        raise AssertionError(f"quorvex-render failed: {p.stderr}")
    return p.stdout


class Trace(unittest.TestCase):
    """Worked cases of the motion rules, read from the trace: left edge per tick."""

    def trace(self, sprites, fast=False, ticks=10, header="", args=()):
        with tempfile.TemporaryDirectory() as tmp:
            write_bmp(os.path.join(tmp, "box.bmp"), 10, 10, (200, 30, 30))
            table = "".join(f"""
[[Document.Sprites]]
m_Picture = "box.bmp"
m_bTransparent = false
m_nY = 100
m_nMotion = 1
{body}
""" for body in sprites)
            manifest = os.path.join(tmp, "m.toml")
            with open(manifest, "w") as f:
                f.write(f'ScrName = "Trace"\n{header}[Document]\nm_nDesignWidth = 400\nm_nDesignHeight = 300\n'
                        f'm_bFastTiming = {"true" if fast else "false"}\nm_nBackgroundKind = 2\n{table}')
            trace = os.path.join(tmp, "trace.jsonl")
            p = subprocess.run([RENDER, manifest, "--trace", trace, "--ticks", str(ticks), *args], capture_output=True,
                               text=True, timeout=60)
            self.assertEqual(p.returncode, 0, p.stderr)
            with open(trace) as f:
                return [json.loads(line) for line in f]

    def lefts(self, lines, i):
        return [line["sprites"][i][0] for line in lines]

    def test_speeds_and_accumulators(self):
        lines = self.trace(["m_nX = 100\nm_dVx = 100", "m_nX = 100\nm_dVx = 7", "m_nX = 100\nm_dVx = -7"], ticks=6)
        self.assertEqual(self.lefts(lines, 0), [105, 110, 115, 120, 125, 130])  # 5 pixels a tick
        self.assertEqual(self.lefts(lines, 1), [100, 100, 101, 101, 101, 102])  # 7, 14, 21 -> 1 (acc 1)
        self.assertEqual(self.lefts(lines, 2), [100, 100, 99, 99, 99, 98])
        fast = self.trace(["m_nX = 100\nm_dVx = 100", "m_nX = 100\nm_dVx = 3"], fast=True, ticks=4)
        self.assertEqual(self.lefts(fast, 0), [101, 102, 103, 104])  # trunc(100) / 5 = 20: a pixel a tick
        self.assertEqual(self.lefts(fast, 1), [100] * 4)             # trunc(3) / 5 = 0: never moves

    def test_wrap_and_bounce_edges(self):
        lines = self.trace(["m_nX = 395\nm_dVx = 100\nm_nEdgeMode = 0",      # wraps to -w
                            "m_nX = 380\nm_dVx = 100\nm_nEdgeMode = 2"], ticks=4)  # bounces at W - w
        self.assertEqual(self.lefts(lines, 0), [400, -10, -5, 0])
        self.assertEqual(self.lefts(lines, 1), [385, 390, 395, 390])  # turns once past 390


    def test_runtime_timing_waits_for_the_splash(self):
        # A one-second splash at 20 ticks a second: the first step is tick 21. By default
        # the renderer shows no splash and steps from tick 1.
        sprite = ["m_nX = 100\nm_dVx = 100"]
        splash = "NoSplash = false\nSplashSeconds = 1\n"
        runtime = self.trace(sprite, ticks=22, header=splash, args=("--runtime-timing",))
        self.assertEqual(self.lefts(runtime, 0), [100] * 20 + [105, 110])
        self.assertEqual(self.lefts(self.trace(sprite, ticks=2, header=splash), 0), [105, 110])
        # Without a splash the runtime steps from the first tick too.
        self.assertEqual(self.lefts(self.trace(sprite, ticks=2, args=("--runtime-timing",)), 0), [105, 110])


class Golden(unittest.TestCase):
    def test_demo_frames_match_the_stored_pictures(self):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([sys.executable, os.path.join(DEMO, "make_media.py"), os.path.join(tmp, "media")],
                           check=True, timeout=120)
            manifest = os.path.join(tmp, "demo.toml")
            with open(os.path.join(DEMO, "demo.toml")) as src, open(manifest, "w") as dst:
                dst.write(src.read())
            out = os.path.join(tmp, "frames")
            render(manifest, out, "--size", "640x480", "--ticks", "100", "--every", "50", "--seed", "7")
            for name in ("frame-00000.png", "frame-00050.png", "frame-00100.png"):
                golden = os.path.join(GOLDEN, "demo-" + name)
                if REGENERATE:
                    os.makedirs(GOLDEN, exist_ok=True)
                    with open(os.path.join(out, name), "rb") as f, open(golden, "wb") as g:
                        g.write(f.read())
                    continue
                w1, h1, got = read_png(os.path.join(out, name))
                w2, h2, want = read_png(golden)
                self.assertEqual((w1, h1), (w2, h2))
                worst = max(abs(a - b) for a, b in zip(got, want))
                differing = sum(1 for a, b in zip(got, want) if a != b)
                # A tiny tolerance: exact integer rendering should match to the bit.
                self.assertLessEqual(worst, 2, f"{name}: a channel differs by {worst}")
                self.assertLess(differing, len(got) // 1000, f"{name}: {differing} bytes differ")


class FlicMedia(unittest.TestCase):
    """A play-once FLIC intro over the scene: placed by the fit mode, a frame every 80 ms
    of nominal time, the sprites held back until 1.5 s after its last frame."""

    def test_play_once_intro_then_sprites(self):
        with tempfile.TemporaryDirectory() as tmp:
            palette = [(0, 0, 0)] + [(10 * i % 256, (200 - i) % 256, 50) for i in range(1, 256)]
            frames = [bytes([i + 1]) * (32 * 16) for i in range(10)]
            write_flc(os.path.join(tmp, "intro.flc"), 32, 16, frames, [palette] + [None] * 9)
            write_bmp(os.path.join(tmp, "box.bmp"), 10, 10, (200, 30, 30))
            manifest = os.path.join(tmp, "m.toml")
            with open(manifest, "w") as f:
                f.write('ScrName = "Intro"\n[Document]\nm_nDesignWidth = 400\nm_nDesignHeight = 300\n'
                        'm_bFastTiming = true\nm_nBackgroundKind = 2\nm_MediaFile = "intro.flc"\n'
                        'm_nMediaFit = 0\nm_bMediaPlayOnce = true\n'
                        '[[Document.Sprites]]\nm_Picture = "box.bmp"\nm_bTransparent = false\nm_nX = 5\n'
                        'm_nY = 5\nm_nMotion = 1\nm_dVx = 100\n')
            out = os.path.join(tmp, "out")
            render(manifest, out, "--ticks", "300", "--every", "10")
            pix, red = {}, {}
            for tick in (0, 40, 200, 210, 230, 300):
                w, h, rgb = read_png(os.path.join(out, f"frame-{tick:05d}.png"))
                pix[tick] = lambda x, y, rgb=rgb, w=w: tuple(rgb[3 * (y * w + x):3 * (y * w + x) + 3])
                red[tick] = any(pix[tick](x, y) == (200, 30, 30) for y in range(0, 50) for x in range(400))
            # 32 x 16 fitted into 400 x 300: 400 x 200 with 50-pixel bands.
            self.assertEqual(pix[0](200, 150), palette[1])
            self.assertEqual(pix[0](200, 49), (0, 0, 0))
            self.assertEqual(pix[0](200, 50), palette[1])
            self.assertEqual(pix[40](200, 150), palette[6])  # 400 ms: frame 5
            self.assertEqual(pix[200](200, 150), palette[10])  # the last frame stays
            self.assertFalse(red[0] or red[200] or red[210])  # sprites held back
            self.assertTrue(red[230])  # shown from 720 + 1500 ms
            self.assertEqual(pix[300](200, 150), (0, 0, 0))  # the window has gone


if __name__ == "__main__":
    unittest.main(verbosity=2)
