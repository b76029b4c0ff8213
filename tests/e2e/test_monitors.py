#!/usr/bin/env python3
"""Two monitors side by side: the scene fills the primary monitor, a black top-most window
covers the other one, the first input closes both, and a preview opens no black window.

Runs on a display of its own (Xorg's dummy driver, two 1024 x 768 outputs) with a Wine
prefix of its own; skipped where that server is not installed."""
import os
import time
import unittest

import qvharness as h

NAVY = (0, 0, 128)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
W, H = h.SCREEN

MANIFEST = """
ScrName = "Quorvex Monitors Test"
NoSplash = true

[Document]
m_nDesignWidth = 1024
m_nDesignHeight = 768
m_nBackgroundKind = 2
m_crBackColor = 0x800000
"""

# X positions of the outputs, the primary first, and where Windows then puts the other
# monitor: Wine moves the primary's origin to (0, 0).
RIGHT = ([(0, 0), (W, 0)], (W, 0, 2 * W, H))
LEFT = ([(W, 0), (0, 0)], (-W, 0, 0, H))


class TwoMonitors(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        reason = h.xorg_dummy_missing()
        if reason:
            raise unittest.SkipTest(reason)
        cls.saver = h.pack_text("monitors", MANIFEST)
        cls.prefix = os.path.join(h.STATE, "monitors", "wineprefix")

    def use_display(self, layout):
        """Starts the two-monitor display for the rest of the test; returns the primary's X
        position and the other monitor's rectangle as Windows sees it."""
        positions, secondary = layout
        disp, xorg = h.start_xorg_dummy(positions)
        self.addCleanup(h.stop_x_server, xorg, disp)
        self.enterContext(h.session(disp, self.prefix))
        primary = (0, 0, W, H)
        self.assertEqual(sorted(h.monitors()), sorted([(primary, True), (secondary, False)]),
                         "Wine does not see the two monitors")
        return positions[0][0], secondary

    def start_saver(self, x0, secondary):
        # The application object parks the cursor at (width, height) of the primary monitor,
        # which the system keeps inside the virtual screen; the X pointer goes there first.
        right = max(W, secondary[2])
        h.mouse_to(x0 + min(W, right - 1), H - 1)
        saver = h.Saver("/s", exe=self.saver)
        self.addCleanup(saver.kill)
        return saver, h.saver_window()

    def check_full_screen_run(self, layout):
        x0, secondary = self.use_display(layout)
        saver, window = self.start_saver(x0, secondary)
        self.assertEqual(window.rect, (0, 0, W, H), window)

        black = h.wait_for(lambda: h.find_windows("QuorvexBlackWindow"), what="the black window")
        self.assertEqual(len(black), 1, black)
        b = black[0]
        self.assertEqual(b.rect, secondary, b)
        self.assertEqual(b.pid, window.pid)
        self.assertEqual(b.related, window.hwnd, "the black window is owned by the saver window")
        self.assertTrue(b.style & h.WS_POPUP and b.style & h.WS_VISIBLE, b)
        self.assertTrue(b.exstyle & h.WS_EX_TOPMOST, b)

        self.assertTrue(saver.stays_running(1.5))
        shot = h.screenshot(h.artifact(f"monitors-{x0}.png"))
        self.assertEqual((shot.width, shot.height), (2 * W, H))
        x1 = secondary[0] + x0  # the other monitor in X coordinates
        self.assertEqual(shot.region_colours(x0, 0, x0 + W, H), {NAVY}, "the scene does not fill the primary")
        self.assertEqual(shot.region_colours(x1, 0, x1 + W, H), {BLACK}, "the other monitor is not black")

        # The pointer crossing the black monitor is no input to the saver window.
        h.mouse_to(x1 + W // 2, H // 2)
        self.assertTrue(saver.stays_running(1.5), "a move over the black window closed the saver")
        h.key("a")
        self.assertEqual(saver.wait(10), 0)
        self.assertEqual(h.find_windows("QuorvexBlackWindow", visible_only=False), [])
        shot = h.screenshot()
        self.assertEqual(shot.region_colours(0, 0, 2 * W, H), {WHITE}, "something stayed on the screen")

    def test_other_monitor_on_the_right(self):
        self.check_full_screen_run(RIGHT)

    def test_other_monitor_on_the_left_at_negative_coordinates(self):
        self.check_full_screen_run(LEFT)

    def test_preview_opens_no_black_window(self):
        self.use_display(RIGHT)
        host = h.PreviewHost(saver=self.saver)
        self.addCleanup(host.kill)
        child = h.wait_for_window("WindowsScreenSaverClass", "Preview", parent=host.area)
        self.assertEqual(child.size, (152, 112), child)
        time.sleep(1.5)
        self.assertEqual(h.find_windows("QuorvexBlackWindow", visible_only=False), [])
        self.assertIsNone(host.proc.poll())
        self.assertIn("saver-exit=0", host.close())


if __name__ == "__main__":
    h.run_tests()
