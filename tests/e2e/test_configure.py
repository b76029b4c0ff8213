#!/usr/bin/env python3
"""The configuration mode opens its dialog; Cancel and Escape end it."""
import unittest

import qvharness as h

IDOK, IDCANCEL = 1, 2


class Configure(unittest.TestCase):
    def open_dialog(self, *args):
        saver = h.Saver(*args)
        self.addCleanup(saver.kill)
        dialog = h.wait_for_window("#32770", "Screen Saver Settings")
        return saver, dialog

    def test_bare_c_and_empty_arguments_open_the_dialog(self):
        saver, dialog = self.open_dialog("/c")
        text = h.window_text(dialog.hwnd)
        self.assertIn("Quorvex", text)
        self.assertRegex(text, r"zlib 1\.\d+\.\d+, libpng 1\.6\.\d+, libjpeg \d+")
        h.key("Escape", focus_title="Screen Saver Settings")
        self.assertEqual(saver.wait(10), IDCANCEL)

        saver = h.Saver()  # no argument text at all
        self.addCleanup(saver.kill)
        dialog = h.wait_for_window("#32770", "Screen Saver Settings")
        self.assertEqual(dialog.related, 0)  # no owner
        h.wine([h.QVWIN, "click", str(dialog.hwnd), str(IDCANCEL)], timeout=30)
        self.assertEqual(saver.wait(10), IDCANCEL)

    def test_colon_handle_names_the_owner(self):
        host = h.PreviewHost()  # a top-level window to own the dialog
        self.addCleanup(host.kill)
        saver, dialog = self.open_dialog(f"/c:{host.host}")
        self.assertEqual(dialog.related, host.host)
        h.wine([h.QVWIN, "click", str(dialog.hwnd), str(IDOK)], timeout=30)
        self.assertEqual(saver.wait(10), IDOK)


if __name__ == "__main__":
    unittest.main(verbosity=2)
