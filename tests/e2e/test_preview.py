#!/usr/bin/env python3
"""Preview runs inside a stand-in for the display-settings dialog."""
import unittest

import qvharness as h


class Preview(unittest.TestCase):
    def test_preview_fills_the_area_ignores_input_and_ends_with_its_parent(self):
        host = h.PreviewHost()
        self.addCleanup(host.kill)
        child = h.wait_for_window("WindowsScreenSaverClass", "Preview", parent=host.area)
        self.assertEqual(child.size, (152, 112), child)
        self.assertTrue(child.style & h.WS_CHILD and child.style & h.WS_VISIBLE, child)
        self.assertEqual(child.related, host.area)

        # Input on the preview never closes it.
        h.mouse_to(child.rect[0] + 70, child.rect[1] + 50)
        h.click(1)
        h.mouse_by(30, 30)
        h.key("a")
        self.assertTrue(host.proc.poll() is None)
        self.assertTrue(h.find_windows("WindowsScreenSaverClass", "Preview", parent=host.area))

        # Closing the host destroys the area and with it the saver's window.
        self.assertIn("saver-exit=0", host.close())


if __name__ == "__main__":
    h.run_tests()
