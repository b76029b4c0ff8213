#!/usr/bin/env python3
"""The document under Wine: a saver whose document is broken shows "Unexpected file
format." in a warning box and runs on with a black window until input closes it; a
good document's sprite records are read and their external files looked up."""
import os
import shutil
import tempfile
import unittest

import qvharness as h

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")


class Document(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="qvdoc-")
        cls.good = os.path.join(cls.work, "good.scr")
        p = h.pack(os.path.join(DATA, "document.toml"), cls.good)
        if p.returncode != 0:
            raise h.HarnessError(f"pack failed: {p.stdout} {p.stderr}")
        # The fields up to the background colours (a solid black background), then
        # nothing: short data. What was read stands, so the scene is black.
        with open(os.path.join(cls.work, "broken.qvd"), "wb") as f:
            f.write(b"QVKSV0410" + b"\x00\x00" + b"\x00" + b"\x00\x04\x00\x03\x00\x00" + b"\x00" * 4 +
                    b"\x01\x00" + b"\x02\x00" + b"\x00\x00" * 4 + b"\x00" * 12 + b"\x01\x00")
        manifest = os.path.join(cls.work, "broken.toml")
        with open(manifest, "w") as f:
            f.write('ScrName = "Quorvex Broken"\nNoSplash = true\nDocument = "broken.qvd"\n')
        cls.broken = os.path.join(cls.work, "broken.scr")
        p = h.pack(manifest, cls.broken)
        if p.returncode != 0:
            raise h.HarnessError(f"pack failed: {p.stdout} {p.stderr}")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def start(self, exe):
        """Starts exe full screen with the diagnostic on; returns (saver, diagnostic path)."""
        out = os.path.join(self.work, "diag.txt")
        if os.path.exists(out):
            os.remove(out)
        h.park_pointer()
        saver = h.Saver("/s", exe=exe, extra_env={"QV_TEST_DIAGNOSTIC_FILE": h.winpath(out)})
        self.addCleanup(saver.kill)
        return saver, out

    def diagnostic(self, out):
        def written():
            if not os.path.exists(out):
                return None
            with open(out, encoding="cp1252") as f:
                text = f.read()
            return text if "String8000=" in text else None
        text = h.wait_for(written, 20, what="the diagnostic file")
        return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)

    def test_broken_document_warns_and_the_run_goes_on(self):
        saver, out = self.start(self.broken)
        box = h.wait_for_window("#32770", timeout=20)
        self.assertIn("Unexpected file format.", h.window_text(box.hwnd))
        h.wine([h.QVWIN, "click", str(box.hwnd), "2"], timeout=30)
        h.wait_for(lambda: not h.find_windows("#32770"), 15, what="the message box to close")
        values = self.diagnostic(out)
        self.assertEqual((values["DocumentSprites"], values["MissingFiles"]), ("0", "0"))
        self.assertEqual(h.black_until_key(saver), (True, {(0, 0, 0)}, 0))

    def test_good_document_loads_its_sprites(self):
        saver, out = self.start(self.good)
        h.saver_window()
        values = self.diagnostic(out)
        # Every sprite record was read: each counted its missing collision sound, and the
        # document its missing background sound.
        self.assertEqual(values["MissingFiles"], "4")
        self.assertEqual(values["DocumentSprites"], "3")
        self.assertEqual(h.find_windows("#32770"), [])
        self.assertTrue(saver.stays_running(1.0))
        h.key("a")
        self.assertEqual(saver.wait(15), 0)


if __name__ == "__main__":
    h.run_tests()
