#!/usr/bin/env python3
"""Preview runs inside a stand-in for the display-settings dialog."""
import os
import unittest

import qvharness as h


class Preview(unittest.TestCase):
    def test_preview_fills_the_area_ignores_input_and_ends_with_its_parent(self):
        diag = os.path.join(h.STATE, "preview-diag.txt")
        if os.path.exists(diag):
            os.remove(diag)
        host = h.PreviewHost(extra_env={"QV_TEST_DIAGNOSTIC_FILE": h.winpath(diag)})
        self.addCleanup(host.kill)
        child = h.wait_for_window("WindowsScreenSaverClass", "Preview", parent=host.area)
        self.assertEqual(child.size, (152, 112), child)
        self.assertTrue(child.style & h.WS_CHILD and child.style & h.WS_VISIBLE, child)
        self.assertEqual(child.related, host.area)
        # The window in the area is the saver's, running its scene in preview mode (no
        # splash, not the fixed picture) with the package it carries. Wine does not show
        # what one process draws into another's child window, so its pixels are not read.
        self.assertEqual(child.pid, host.saver_pid)
        values = h.wait_for(lambda: h.read_diagnostic(diag), 10, what="the saver's diagnostic")
        self.assertEqual((values.get("ScrName"), values.get("NoSplash"), values.get("DocumentSprites")),
                         ("Quorvex Test", "1", "0"), values)

        # Input on the preview never closes it.
        h.mouse_to(child.rect[0] + 70, child.rect[1] + 50)
        h.click(1)
        h.mouse_by(30, 30)
        h.key("a")
        self.assertTrue(host.proc.poll() is None)
        self.assertEqual([w.pid for w in h.find_windows("WindowsScreenSaverClass", "Preview", parent=host.area)],
                         [host.saver_pid], "the saver's window stays in the area")

        # Closing the host destroys the area and with it the saver's window.
        self.assertIn("saver-exit=0", host.close())


if __name__ == "__main__":
    h.run_tests()
