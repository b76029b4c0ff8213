#!/usr/bin/env python3
"""Start-up under Wine: how long the saver takes from the creation of its process to its
first frame, for the demo and for a saver whose background is a 12-megapixel photograph
stretched to the screen. The frame-time diagnostic (QV_TEST_FRAME_TIMES) writes the
start-up marks; the test prints them with the time Wine took to create the process.

Nothing here asserts a duration (the machine is shared): only that every mark was
recorded, in order and on the launcher's clock, and that the photograph is on the
screen. QV_STARTUP_RUNS runs each saver that many times (default 1) and prints the
median, minimum and maximum."""
import os
import statistics
import subprocess
import sys
import time
import unittest

import qvharness as h

RUNS = max(1, int(os.environ.get("QV_STARTUP_RUNS", "1")))
PHOTO_SIZE = (4000, 3000)
STAGES = ("app", "entry", "create", "package", "document", "scene", "media", "first-frame")

PHOTO_MANIFEST = """
ScrName = "Quorvex Start-up Test"
NoSplash = true

[Document]
m_nDesignWidth = 1024
m_nDesignHeight = 768
m_bFastTiming = true
m_nBackgroundKind = 0
m_nPictureFit = 0
m_BackgroundPicture = "photo.jpg"
"""

# Made by Debian's Python with PIL: smooth shading in three directions under fine grain,
# saved as a camera would (quality 90, chroma halved both ways), so that decoding costs
# what a photograph's does. Writes the photograph and, beside it, what it looks like
# averaged down to the screen.
MAKE_PHOTO = r"""
import sys
from PIL import Image, ImageChops, ImageFilter
w, h = int(sys.argv[3]), int(sys.argv[4])
across = Image.linear_gradient("L").transpose(Image.Transpose.ROTATE_90).resize((w, h))
down = Image.linear_gradient("L").resize((w, h))
ring = Image.radial_gradient("L").resize((w, h))
grain = Image.effect_noise((w, h), 10).filter(ImageFilter.GaussianBlur(0.7))
bands = [ImageChops.add(band, grain, 1.0, -128) for band in (across, down, ring)]
photo = Image.merge("RGB", bands)
photo.save(sys.argv[1], quality=90, subsampling=2)
Image.open(sys.argv[1]).convert("RGB").resize((1024, 768), Image.Resampling.BOX).save(sys.argv[2])
"""


def median_min_max(values):
    return f"median {statistics.median(values):7.1f}  min {min(values):7.1f}  max {max(values):7.1f}"


class Startup(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = h.fresh_folder("startup")
        cls.demo = h.pack_demo(cls.folder)
        photo = os.path.join(cls.folder, "photo.jpg")
        cls.expected_png = os.path.join(cls.folder, "photo-screen.png")
        subprocess.run(["/usr/bin/python3", "-c", MAKE_PHOTO, photo, cls.expected_png, *map(str, PHOTO_SIZE)],
                       check=True, timeout=180)
        manifest = os.path.join(cls.folder, "photo.toml")
        with open(manifest, "w") as f:
            f.write(PHOTO_MANIFEST)
        cls.photo_saver = os.path.join(cls.folder, "photo.scr")
        p = h.pack(manifest, cls.photo_saver)
        if p.returncode != 0:
            raise h.HarnessError(f"packing the photo saver failed: {p.stdout} {p.stderr}")
        print(f"\nphotograph {PHOTO_SIZE[0]}x{PHOTO_SIZE[1]}, {os.path.getsize(photo) / 1e6:.1f} MB JPEG",
              file=sys.stderr)

    def expected_block_means(self, points):
        """Mean colours of 16 x 16 blocks of the photograph averaged down to the screen,
        read by Debian's Python (the screenshot holds the saver's own average)."""
        script = ("import sys; from PIL import Image; im = Image.open(sys.argv[1]).convert('RGB')\n"
                  "for a in sys.argv[2:]:\n"
                  "    x, y = map(int, a.split(',')); b = im.crop((x, y, x + 16, y + 16))\n"
                  "    print(*[sum(c) / len(c) for c in zip(*b.getdata())])")
        out = subprocess.run(["/usr/bin/python3", "-c", script, self.expected_png] +
                             [f"{x},{y}" for x, y in points], check=True, timeout=60,
                             capture_output=True, text=True).stdout
        return [tuple(float(v) for v in line.split()) for line in out.splitlines()]

    def run_saver(self, exe, name, screenshot=False):
        """One full-screen run, undisturbed until it has surely shown its first frame.
        Returns (ms from launch to the process's creation, marks, screenshot or None)."""
        times = os.path.join(self.folder, f"{name}.txt")
        if os.path.exists(times):
            os.remove(times)
        h.park_pointer()
        launched = time.time() * 1000.0
        saver = h.Saver("/s", exe=exe, extra_env={"QV_TEST_FRAME_TIMES": h.winpath(times)})
        self.addCleanup(saver.kill)
        # No window polling while it starts: every query starts a Wine process of its own.
        time.sleep(4.0)
        h.saver_window()
        shot = h.screenshot(h.artifact(f"startup-{name}.png")) if screenshot else None
        h.key("a")
        self.assertEqual(saver.wait(15), 0)
        self.assertTrue(os.path.exists(times), "the saver wrote no frame times")
        starts, marks = h.read_frame_times(times)
        self.assertTrue(starts, "no frames recorded")
        for stage in ("process-start-unix",) + STAGES:
            self.assertIn(stage, marks, f"start-up mark {stage!r} missing")
        stage_times = [marks[s] for s in STAGES]
        self.assertEqual(stage_times, sorted(stage_times), f"start-up marks out of order: {marks}")
        self.assertGreaterEqual(marks["app"], 0.0)
        # The process's creation on the launcher's clock: after the launch, and not by
        # hours (a wrong epoch or time zone would be).
        created = marks["process-start-unix"] - launched
        self.assertGreater(created, -1000.0, "the process was created before it was launched")
        self.assertLess(created, 120000.0)
        return created, marks, shot

    def measure(self, exe, name, screenshot=False):
        runs = [self.run_saver(exe, f"{name}-{i}", screenshot) for i in range(RUNS)]
        rows = {"wine creates the process": [r[0] for r in runs]}
        previous = None
        for stage in STAGES:
            rows[f"{previous or 'created'} -> {stage}"] = [r[1][stage] - (r[1][previous] if previous else 0.0)
                                                          for r in runs]
            previous = stage
        rows["created -> first frame"] = [r[1]["first-frame"] for r in runs]
        rows["launch -> first frame"] = [r[0] + r[1]["first-frame"] for r in runs]
        print(f"\nstart-up of {name}, {RUNS} run(s), ms:", file=sys.stderr)
        for label, values in rows.items():
            print(f"  {label:28} {median_min_max(values)}", file=sys.stderr)
        return runs

    def test_demo(self):
        self.measure(self.demo, "demo")

    def test_photo_background(self):
        runs = self.measure(self.photo_saver, "photo", screenshot=True)
        points = [(40, 40), (960, 40), (40, 700), (960, 700), (500, 370)]
        expected = self.expected_block_means(points)
        for _, _, shot in runs:
            for (x, y), want in zip(points, expected):
                block = [shot.pixel(x + dx, y + dy) for dy in range(16) for dx in range(16)]
                got = tuple(sum(c) / len(block) for c in zip(*block))
                for g, w in zip(got, want):
                    self.assertAlmostEqual(g, w, delta=6.0, msg=f"block at ({x}, {y}): {got} against {want}")


if __name__ == "__main__":
    h.run_tests()
