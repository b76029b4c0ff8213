#!/usr/bin/env python3
"""Full-screen runs: the spellings of the mode, the window the saver opens, the input that
closes it (and the input that does not), power and system commands, a second saver."""
import os
import unittest

import qvharness as h

WM_SYSCOMMAND = 0x0112
WM_POWERBROADCAST = 0x0218
SC_SCREENSAVE = 0xF140
SC_MONITORPOWER = 0xF170
PBT_APMSUSPEND = 4
PBT_APMPOWERSTATUSCHANGE = 10
PBT_APMRESUMESUSPEND = 7


class FullScreen(unittest.TestCase):
    def start(self, *args):
        h.park_pointer()
        saver = h.Saver(*args)
        self.addCleanup(saver.kill)
        window = h.saver_window()
        return saver, window

    def assert_covers_screen(self, w):
        self.assertEqual(w.rect, (0, 0) + h.SCREEN, w)
        self.assertTrue(w.style & h.WS_POPUP and w.style & h.WS_VISIBLE, w)
        self.assertTrue(w.exstyle & h.WS_EX_TOPMOST, w)
        self.assertTrue(w.exstyle & h.WS_EX_TOOLWINDOW, w)

    def test_every_spelling_opens_the_saver_and_a_key_closes_it(self):
        # Wine quotes an argument that holds a space, so "s after a space" is simply "s"
        # here; the unit tests cover leading blanks.
        for args in ("/s", "-S", "s", "S"):
            with self.subTest(args=args):
                saver, w = self.start(args)
                self.assert_covers_screen(w)
                self.assertTrue(saver.stays_running(1.0))
                h.key("a")
                self.assertEqual(saver.wait(10), 0)

    def test_screen_is_covered_in_black(self):
        saver, _ = self.start("/s")
        self.assertTrue(saver.stays_running(1.5))
        pic = h.screenshot(h.artifact("fullscreen.png"))
        self.assertEqual((pic.width, pic.height), h.SCREEN)
        self.assertEqual(pic.region_colours(0, 0, pic.width, pic.height), {(0, 0, 0)})

    def test_at_144_dpi_the_window_covers_the_screen_in_pixels(self):
        # The runtime declares itself aware of each monitor's resolution, so at 150 % the
        # system neither scales its window nor reports a smaller screen.
        self.addCleanup(h.set_dpi, 96)
        h.set_dpi(144)
        out = h.artifact("fullscreen-144dpi.txt")
        if os.path.exists(out):
            os.remove(out)
        h.park_pointer()
        saver = h.Saver("/s", extra_env={"QV_TEST_DIAGNOSTIC_FILE": h.winpath(out)})
        self.addCleanup(saver.kill)
        window = h.saver_window()
        h.wait_for(lambda: os.path.exists(out) and "String8000=" in open(out, encoding="cp1252").read(), 20,
                   what="the diagnostic file")
        with open(out, encoding="cp1252") as f:
            values = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        if values["ScreenDpiY"] != "144":
            self.skipTest(f"Wine did not take LogPixels 144 (reads {values['ScreenDpiY']})")
        # Wine scales no full-screen window either way; the awareness it granted shows that
        # the manifest's declaration was read (2: per monitor; -1: no such query).
        if values.get("DpiAwareness", "-1") != "-1":
            self.assertEqual(values["DpiAwareness"], "2")
        self.assert_covers_screen(window)
        self.assertTrue(saver.stays_running(1.5))
        pic = h.screenshot(h.artifact("fullscreen-144dpi.png"))
        self.assertEqual((pic.width, pic.height), h.SCREEN)
        self.assertEqual(pic.region_colours(0, 0, pic.width, pic.height), {(0, 0, 0)})
        h.key("a")
        self.assertEqual(saver.wait(10), 0)

    def test_mouse_click_closes(self):
        saver, _ = self.start("/s")
        self.assertTrue(saver.stays_running(1.0))
        h.click(1)
        self.assertEqual(saver.wait(10), 0)

    def test_mouse_moves_of_four_pixels_stay_and_five_close(self):
        saver, _ = self.start("/s")
        self.assertTrue(saver.stays_running(1.0))
        # The application object parks the cursor in the bottom-right corner at start, and
        # moves toward the corner would clamp: move left and up.
        h.mouse_by(-3, -1)  # distance 4 from where the saver started
        self.assertTrue(saver.stays_running(1.5), "a 4-pixel move closed the saver")
        h.mouse_by(0, -1)  # now 3 left, 2 up: distance 5
        self.assertEqual(saver.wait(10), 0)

    def test_system_and_power_commands(self):
        saver, w = self.start("/s")
        # Ignored: the screen-save command and a power-status change.
        h.post(w.hwnd, WM_SYSCOMMAND, SC_SCREENSAVE)
        h.post(w.hwnd, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE)
        h.post(w.hwnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 1)  # resume from failure
        self.assertTrue(saver.stays_running(1.5))
        h.post(w.hwnd, WM_SYSCOMMAND, SC_MONITORPOWER, 2)
        self.assertEqual(saver.wait(10), 0)

        saver, w = self.start("/s")
        h.post(w.hwnd, WM_POWERBROADCAST, PBT_APMSUSPEND)
        self.assertEqual(saver.wait(10), 0)

    def test_second_saver_exits_and_the_first_keeps_running(self):
        first, w = self.start("/s")
        self.assertEqual(h.run_saver("/s", timeout=20), 0)
        self.assertTrue(first.stays_running(1.0))
        self.assertEqual(len(h.find_windows("WindowsScreenSaverClass", "Screen Saver")), 1)
        h.key("space")
        self.assertEqual(first.wait(10), 0)

    def test_unknown_modes_exit_with_minus_one_and_show_nothing(self):
        for args in ("/x", "/a", "/p 0", "/p", "/p 123456789"):
            with self.subTest(args=args):
                self.assertEqual(h.run_saver(args, timeout=20), -1)
        self.assertEqual(h.find_windows("WindowsScreenSaverClass"), [])


if __name__ == "__main__":
    h.run_tests()
