#!/usr/bin/env python3
"""The package under Wine: the bare runtime reports that it has none and stays black until
input; a packed saver loads its header and the user's settings, extracts its blocks into
the temporary folder, wipes leftovers of earlier runs and leaves nothing behind; a signed
saver still finds its package; the Windows build of quorvex-info reads it."""
import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

import qvharness as h

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
SETTINGS_KEY = r"HKCU\SOFTWARE\Quorvex\Compiled ScreenSaver\Quorvex Blocks"
LANGUAGE_KEY = r"HKCU\SOFTWARE\Quorvex Tests\Quorvex Blocks"


def linux_path(windows_path):
    """C:\\... inside the prefix as a Linux path."""
    drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/")
    return os.path.join(h.PREFIX, "dosdevices", f"{drive}:") + rest


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="qvpkg-")
        cls.blocks = os.path.join(cls.work, "blocks.scr")
        p = h.pack(os.path.join(DATA, "blocks.toml"), cls.blocks)
        if p.returncode != 0:
            raise h.HarnessError(f"pack failed: {p.stdout} {p.stderr}")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def diagnostic_run(self, exe, stay=1.0):
        """Runs exe full screen with the settings diagnostic on; returns (values, saver)."""
        out = os.path.join(self.work, "diag.txt")
        if os.path.exists(out):
            os.remove(out)
        h.park_pointer()
        saver = h.Saver("/s", exe=exe, extra_env={"QV_TEST_DIAGNOSTIC_FILE": h.winpath(out)})
        self.addCleanup(saver.kill)
        h.saver_window()
        def written():
            if not os.path.exists(out):
                return False
            with open(out, encoding="cp1252") as f:
                return "String8000=" in f.read()
        h.wait_for(written, 20, what="the diagnostic file")
        self.assertTrue(saver.stays_running(stay))
        with open(out, encoding="cp1252") as f:
            values = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        return values, saver

    def close(self, saver):
        h.key("a")
        self.assertEqual(saver.wait(15), 0)

    def test_bare_runtime_reports_the_missing_package_and_stays_black_until_input(self):
        h.park_pointer()
        saver = h.Saver("/s", exe=h.BARE_SAVER)
        self.addCleanup(saver.kill)
        box = h.wait_for_window("#32770", timeout=20)
        self.assertIn("Unable to load Screen Saver extended data (err = 2)", h.window_text(box.hwnd))
        h.wine([h.QVWIN, "click", str(box.hwnd), "2"], timeout=30)
        h.wait_for(lambda: not h.find_windows("#32770"), 15, what="the message box to close")
        # Dismissing the box is no input of the user's: nothing else runs, but the black
        # window stays until a key.
        self.assertEqual(h.black_until_key(saver), (True, {(0, 0, 0)}, 0))
        self.assertEqual(h.find_windows("WindowsScreenSaverClass", visible_only=False), [])

    def test_settings_extraction_wipe_and_language(self):
        h.reg_delete(SETTINGS_KEY)
        h.reg_delete(LANGUAGE_KEY)
        # First run: defaults; the module and splash picture are extracted.
        values, saver = self.diagnostic_run(self.blocks)
        self.assertEqual(values["ScrName"], "Quorvex Blocks")
        self.assertEqual((values["UseRss"], values["MuteSound"], values["FeedList"]), ("1", "0", "@@@"))
        folder = values["TempFolder"]
        self.assertTrue(folder.endswith("\\Quorvex\\"), folder)
        self.assertIn("Local", folder)
        local = linux_path(folder)
        self.assertTrue(os.path.isdir(local))
        module, splash = linux_path(values["Module"]), linux_path(values["Splash"])
        self.assertEqual(os.path.basename(module), "qvmmp.dll")
        self.assertEqual(os.path.basename(splash), "splash.png")
        with open(splash, "rb") as f, open(os.path.join(DATA, "splash.png"), "rb") as g:
            self.assertEqual(f.read(), g.read())
        self.close(saver)
        self.assertFalse(os.path.exists(module) or os.path.exists(splash))

        # Leftovers of an earlier run are wiped at start; other files and folders stay.
        for name in ("pksv0001.wav", "PKSVjunk.txt", "keep.txt"):
            with open(os.path.join(local, name), "w") as f:
                f.write("x")
        os.makedirs(os.path.join(local, "pksvdir"), exist_ok=True)
        h.reg_add(SETTINGS_KEY, "UseRss", "0")
        h.reg_add(SETTINGS_KEY, "bMuteSound", "1")
        h.reg_add(LANGUAGE_KEY, "AppLanguage", "3")
        values, saver = self.diagnostic_run(self.blocks)
        self.assertEqual((values["UseRss"], values["MuteSound"]), ("0", "1"))
        self.assertEqual(values["Module"], "", "a muted saver does not extract its module")
        self.assertEqual(values["LanguageCode"], "3")
        self.assertEqual(values["String8000"], "Bildschirmschoner Einstellungen")
        left = sorted(os.listdir(local))
        self.assertNotIn("pksv0001.wav", left)
        self.assertNotIn("PKSVjunk.txt", left)
        self.assertIn("keep.txt", left)
        self.assertIn("pksvdir", left)
        self.close(saver)
        self.assertEqual(sorted(n for n in os.listdir(local) if n.lower().startswith("pksv") or
                                n in ("qvmmp.dll", "splash.png")), ["pksvdir"])
        os.remove(os.path.join(local, "keep.txt"))
        os.rmdir(os.path.join(local, "pksvdir"))
        h.reg_delete(SETTINGS_KEY)
        h.reg_delete(LANGUAGE_KEY)

    def test_signed_saver_and_windows_info_tool(self):
        key, cert = os.path.join(self.work, "key.pem"), os.path.join(self.work, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=Quorvex test"], check=True, capture_output=True, timeout=60)
        signed = os.path.join(self.work, "signed.scr")
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", self.blocks, "-out", signed],
                       check=True, capture_output=True, timeout=60)
        info = json.loads(h.wine([h.INFO, h.winpath(signed), "--json"], timeout=30).stdout)
        self.assertEqual(info["package"]["ScrName"], "Quorvex Blocks")
        self.assertEqual(info["package"]["FeedAddresses"], "http://127.0.0.1:9/feed.rss")
        self.assertIs(info["package"]["FeedListEditable"], False)
        self.assertEqual(info["package"]["Description"], "Quorvex Blocks")

        values, saver = self.diagnostic_run(signed, stay=0.5)
        self.assertEqual(values["ScrName"], "Quorvex Blocks")
        self.close(saver)

        bare = h.wine([h.INFO, h.winpath(h.BARE_SAVER), "--json"], timeout=30)
        self.assertEqual(bare.returncode, 2)
        self.assertEqual(json.loads(bare.stdout), {"package": None, "error": {"PackageError": 2}})


if __name__ == "__main__":
    h.run_tests()
