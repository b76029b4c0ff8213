#!/usr/bin/env python3
"""The imaging layer's Win32 side under Wine: DibPaint draws a known picture into a window
(unscaled and stretched) and a screenshot matches it; DibFromScreenRect captures it back;
the JPEG resource reader finds "PREVIEWPIC" and not "BACKGROUND"; and the core's picture
files tests run in the Windows build on fixtures made here."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

import qvharness as h

HELPER = os.path.join(h.BUILD, "qvimaging.exe")
UNIT_TESTS = os.path.join(h.BUILD, "tests", "qv_unit_tests.exe")
SOURCE = os.environ.get("QV_SOURCE_DIR") or os.path.join(os.path.dirname(__file__), "../..")
FIXTURE_SCRIPT = os.path.join(SOURCE, "tests", "data", "imaging", "make_fixtures.py")
PREVIEWPIC = os.path.join(SOURCE, "tests", "data", "imaging", "previewpic.jpg")
W, H = 64, 48


def winpath(path):
    """A Linux path as Wine's programs see it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def picture():
    """RGB rows from the top: every pixel's colour tells where it is."""
    return [[((x * 4) % 256, (y * 5) % 256, ((x ^ y) * 7) % 256) for x in range(W)] for y in range(H)]


def write_bmp(path, rows):
    w, hgt = len(rows[0]), len(rows)
    pad = (-3 * w) % 4
    data = b"".join(bytes(c for r, g, b in row for c in (b, g, r)) + b"\0" * pad for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, w, hgt, 1, 24, 0, len(data), 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) + header + data)


def read_bmp24(path):
    """RGB rows from the top of a bottom-up 24-bit BMP with a 40-byte header."""
    with open(path, "rb") as f:
        d = f.read()
    off, size, w, hgt, bits = struct.unpack_from("<I", d, 10)[0], *struct.unpack_from("<IiixxH", d, 14)
    assert size == 40 and bits == 24, (size, bits)
    stride = (3 * w + 3) & ~3
    rows = []
    for y in range(hgt):
        base = off + (hgt - 1 - y) * stride
        rows.append([(d[base + 3 * x + 2], d[base + 3 * x + 1], d[base + 3 * x]) for x in range(w)])
    return rows


def expected_window(rows):
    """Left: the picture; right: its top-left quarter doubled."""
    return [rows[y] + [rows[y // 2][x // 2] for x in range(W)] for y in range(H)]


def read_text(path):
    with open(path) as f:
        return f.read()


def differences(got, want):
    bad = [(x, y, got[y][x], want[y][x]) for y in range(len(want)) for x in range(len(want[0]))
           if got[y][x] != want[y][x]]
    return f"{len(bad)} pixels differ, first {bad[:3]}" if bad else ""


class Imaging(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="qvimaging-")
        self.addCleanup(self.tmp.cleanup)

    def path(self, name):
        return os.path.join(self.tmp.name, name)

    def test_paint_draws_the_picture_and_a_screen_capture_reads_it_back(self):
        rows = picture()
        write_bmp(self.path("picture.bmp"), rows)
        out = self.path("paint.out")
        # The window's left edge is the screen's: the capture asks for 10 more pixels on
        # the left and gets them clamped away.
        left, top = 0, 120
        with open(out, "w") as log:
            proc = subprocess.Popen([h.WINE64, HELPER, "paint", winpath(self.path("picture.bmp")), str(left),
                                     str(top), winpath(self.path("capture.bmp")), "20"],
                                    env=h.env(), stdout=log, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                                    start_new_session=True)
        self.addCleanup(h.kill_group, proc)
        h.wait_for(lambda: "captured" in read_text(out) or proc.poll() is not None, 60,
                   what="the helper to paint and capture")
        report = read_text(out)
        self.assertIn("captured 128 48 24", report, report)
        self.assertRegex(report, r"painted unscaled=48 stretched=[1-9]")

        want = expected_window(rows)
        shot = h.screenshot(save_as=h.artifact("imaging-paint.png"))
        got = [[shot.pixel(left + x, top + y) for x in range(2 * W)] for y in range(H)]
        self.assertEqual(differences(got, want), "", "screenshot of the painted window")
        self.assertEqual(differences(read_bmp24(self.path("capture.bmp")), want), "", "DibFromScreenRect")
        h.kill_group(proc)

    def test_jpeg_resource_and_the_checks_of_this_display(self):
        p = h.run([h.WINE64, HELPER, "resource", winpath(self.path("preview.bmp"))], timeout=60)
        self.assertEqual(p.returncode, 0, p.stdout)
        self.assertIn("previewpic=yes", p.stdout)
        self.assertIn("background=none", p.stdout)
        # The same libjpeg decodes the same file in the converter.
        ref = subprocess.run(["/usr/bin/convert", PREVIEWPIC, "-depth", "8", "rgb:-"], capture_output=True,
                             check=True, timeout=60).stdout
        got = read_bmp24(self.path("preview.bmp"))
        self.assertEqual((len(got[0]), len(got)), (48, 32))
        flat = bytes(c for row in got for p in row for c in p)
        worst = max(abs(a - b) for a, b in zip(flat, ref))
        self.assertLessEqual(worst, 2)

        p = h.run([h.WINE64, HELPER, "checks"], timeout=60)
        values = dict(line.split("=", 1) for line in p.stdout.splitlines() if "=" in line)
        self.assertEqual(values.get("screen_depth"), "32", p.stdout)  # Xvfb at 24 bits
        self.assertEqual(values.get("app_palette_entries"), "256")
        self.assertEqual(values.get("app_palette_41"), "85,0,0")
        self.assertEqual(values.get("app_palette_ff"), "255,255,255")
        self.assertEqual(values.get("surface_palette"), "1")
        self.assertEqual(values.get("identity"), "0")  # not a palette display
        self.assertEqual(values.get("capture_empty"), "none")
        self.assertEqual(values.get("capture_offscreen"), "none")
        self.assertEqual(values.get("from_null_bitmap"), "none")
        self.assertEqual(values.get("global_block_copy"), "90")
        self.assertEqual(values.get("live_blocks"), "0")

    def test_picture_files_decode_the_same_in_the_windows_build(self):
        fixtures = os.path.join(h.STATE, "imaging-fixtures")
        manifest = os.path.join(fixtures, "manifest.txt")
        if not os.path.exists(manifest) or os.path.getmtime(manifest) < os.path.getmtime(FIXTURE_SCRIPT):
            shutil.rmtree(fixtures, ignore_errors=True)
            shutil.rmtree(fixtures + ".tmp", ignore_errors=True)
            subprocess.run([sys.executable, FIXTURE_SCRIPT, fixtures + ".tmp"], check=True, timeout=300)
            os.replace(fixtures + ".tmp", fixtures)
        p = h.run([h.WINE64, UNIT_TESTS, "--gtest_filter=ImagingFiles.*"],
                  env=h.env({"QV_IMAGING_FIXTURES": winpath(fixtures)}), timeout=300)
        self.assertEqual(p.returncode, 0, p.stdout[-3000:])
        self.assertIn("[  PASSED  ] 3 tests", p.stdout)
        self.assertNotIn("SKIPPED", p.stdout)


if __name__ == "__main__":
    h.run_tests()
