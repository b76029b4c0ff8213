#!/usr/bin/env python3
"""The end of the splash under Wine, on savers with a splash and no media: the frame loop
runs on without a stall while the card goes and the sprites come, and a splash picture
that does not decode shows the card instead."""
import os
import sys
import time
import unittest

import qvharness as h
from test_media import FACE, HEAD, NAVY
from test_scene import red_box

CARD = (337, 351, 687, 416)  # the 350 x 65 card in the middle of 1024 x 768
MAX_GAP_MS = 100


class Splash(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = h.fresh_folder("splash")
        h.Picture(40, 40, bytes((255, 0, 0)) * 1600).save_png(os.path.join(cls.folder, "red.png"))
        with open(os.path.join(cls.folder, "broken.png"), "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + b"not a picture" * 40)

    def saver(self, name, picture="", seconds=2):
        manifest = os.path.join(self.folder, name + ".toml")
        with open(manifest, "w") as f:
            f.write(HEAD.format(splash=f"NoSplash = false\nSplashSeconds = {seconds}\n" + picture, media=""))
        exe = os.path.join(self.folder, name + ".scr")
        p = h.pack(manifest, exe)
        if p.returncode != 0:
            raise h.HarnessError(f"packing failed: {p.stdout} {p.stderr}")
        return exe

    def start(self, exe, **extra):
        h.park_pointer()
        saver = h.Saver("/s", exe=exe, extra_env=extra)
        self.addCleanup(saver.kill)
        h.saver_window()
        return saver

    def test_the_frame_loop_runs_on_through_the_end_of_the_splash(self):
        times = os.path.join(self.folder, "frame-times.txt")
        saver = self.start(self.saver("splash-end"), QV_TEST_FRAME_TIMES=h.winpath(times))
        h.wait_for_window("QvSplash", timeout=10)
        h.wait_for(lambda: not h.find_windows("QvSplash"), 10, interval=0.1, what="the splash to end")
        time.sleep(0.5)
        pic = h.screenshot(h.artifact("splash-end.png"))
        self.assertNotIn(FACE, pic.region_colours(*CARD), "the card still shows")
        self.assertEqual(pic.pixel(512, 384), NAVY)
        self.assertIsNotNone(red_box(pic), "no sprites after the splash")
        time.sleep(1.0)
        h.key("a")
        self.assertEqual(saver.wait(15), 0)
        starts, _ = h.read_frame_times(times)
        # The splash ends on tick 200 (2 s of fast ticks), about 2.2 s into the loop.
        gaps = [(round(a), round(b - a)) for a, b in zip(starts, starts[1:]) if 1000 <= a <= 4500]
        worst = max(gaps, key=lambda g: g[1])
        print(f"\nsplash end: {len(gaps)} frames between 1.0 s and 4.5 s, longest gap {worst[1]} ms at {worst[0]} ms",
              file=sys.stderr)
        self.assertGreater(len(gaps), 100)
        self.assertLessEqual(worst[1], MAX_GAP_MS, "the frame loop stalled")

    def test_a_splash_picture_that_does_not_decode_shows_the_card(self):
        # A splash long enough that a screenshot taken on a busy machine still sees it.
        saver = self.start(self.saver("splash-broken", 'SplashPicture = "broken.png"', seconds=6))
        card = h.wait_for_window("QvSplash", timeout=10)
        self.assertEqual(card.rect, CARD)
        pic = h.screenshot(h.artifact("splash-broken.png"))
        self.assertEqual(pic.pixel(CARD[0] + 4, CARD[1] + 9), FACE)
        h.key("a")
        self.assertEqual(saver.wait(15), 0)


if __name__ == "__main__":
    h.run_tests()
