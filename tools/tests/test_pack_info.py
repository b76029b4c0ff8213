#!/usr/bin/env python3
"""quorvex-pack and quorvex-info together: every header field packed from a manifest
reads back the same, a signed saver still finds its package, and bad input is refused.

  test_pack_info.py QUORVEX-PACK QUORVEX-INFO"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from stub_pe import stub_pe  # noqa: E402

PACK, INFO = sys.argv[1], sys.argv[2]
del sys.argv[1:3]

MANIFEST = r'''
ScrName = "Caf\u00e9 Logo"
CompanyName = ""
RightsLine = "(c) 2026 Example|kept out"
WebAddress = "https://example.test"
FeedAddresses = ["http://127.0.0.1/a.rss", "http://127.0.0.1/b.rss"]
FeedListEditable = false
Description = """
{ScrName} by {CompanyName}.
#if german
Deutsch: {ScreenSaverTitle}
#endif
{nope}"""
NoSplash = false
SplashSeconds = 3
FixedPreview = true
Module = "module.bin"
DialogPicture = "dialog.jpg"
SplashPicture = "splash.png"
FixedPreviewPicture = "preview.pic"
FixedPreviewFormat = 0
Document = "document.bin"
'''


class PackInfo(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qvpack-")
        self.addCleanup(shutil.rmtree, self.dir)
        self.runtime = self.path("runtime.exe")
        with open(self.runtime, "wb") as f:
            f.write(stub_pe())
        for name, data in (("module.bin", b"M" * 1000), ("dialog.jpg", os.urandom(3000)),
                           ("splash.png", b"png" * 50), ("preview.pic", b"bmp"),
                           ("document.bin", b"document archive")):
            with open(self.path(name), "wb") as f:
                f.write(data)

    def path(self, name):
        return os.path.join(self.dir, name)

    def pack(self, manifest, out="saver.scr"):
        with open(self.path("m.toml"), "w", encoding="utf-8") as f:
            f.write(manifest)
        return subprocess.run([PACK, "--runtime", self.runtime, "-o", self.path(out), self.path("m.toml")],
                              capture_output=True, text=True, timeout=30)

    def info(self, file, *args):
        p = subprocess.run([INFO, file, "--json", *args], capture_output=True, text=True, timeout=30)
        return p.returncode, json.loads(p.stdout)

    def test_every_field_round_trips(self):
        p = self.pack(MANIFEST)
        self.assertEqual(p.returncode, 0, p.stderr)
        saver = self.path("saver.scr")
        self.assertEqual(os.path.getsize(saver) % 8, 0)
        code, doc = self.info(saver)
        # The prebuilt archive is packed as it is; it is no document, which info reports.
        self.assertEqual(code, 3)
        self.assertEqual(doc["error"], {"message": "Unexpected file format."})
        pkg = doc["package"]
        self.assertGreaterEqual(pkg["PackageStart"], len(stub_pe()))
        self.assertEqual(pkg["ScrName"], "Caf\u00e9 Logo")
        self.assertEqual(pkg["CompanyName"], "")
        self.assertEqual(pkg["RightsLine"], "(c) 2026 Example")
        self.assertEqual(pkg["WebAddress"], "https://example.test")
        self.assertEqual(pkg["FeedAddresses"], "http://127.0.0.1/a.rss;http://127.0.0.1/b.rss")
        self.assertIs(pkg["FeedListEditable"], False)
        self.assertEqual(pkg["Description"], "Caf\u00e9 Logo by .\r\n##UNKNOWN##")
        self.assertEqual((pkg["NoSplash"], pkg["SplashSeconds"], pkg["FixedPreview"]), (0, 3, 1))
        self.assertEqual((pkg["DialogPictureFormat"], pkg["SplashPictureFormat"], pkg["FixedPreviewFormat"]),
                         (1, 2, 0))
        for key in ("ModuleBlockSize", "DialogPictureSize", "SplashPictureSize", "FixedPreviewSize"):
            self.assertGreater(pkg[key], 8, key)
        self.assertEqual(pkg["HeaderBlockLength"] + pkg["ModuleBlockSize"] + pkg["DialogPictureSize"] +
                         pkg["SplashPictureSize"] + pkg["FixedPreviewSize"] + len(b"document archive") + 4,
                         os.path.getsize(saver) - pkg["PackageStart"])
        with open(saver, "rb") as f:
            self.assertTrue(f.read().endswith(b"document archive" + pkg["PackageStart"].to_bytes(4, "little")))

        _, german = self.info(saver, "--language", "3")
        self.assertEqual(german["package"]["Description"],
                         "Caf\u00e9 Logo by .\r\nDeutsch: Caf\u00e9 Logo\r\n##UNKNOWN##")
        text = subprocess.run([INFO, saver], capture_output=True, text=True, timeout=30)
        self.assertEqual(text.returncode, 3)
        self.assertIn("Caf\u00e9 Logo", text.stdout)

    def test_minimal_manifest_editable_and_empty_feed_lists(self):
        self.assertEqual(self.pack('ScrName = "S"\n').returncode, 0)
        _, doc = self.info(self.path("saver.scr"))
        pkg = doc["package"]
        self.assertIsNone(pkg["FeedAddresses"])
        self.assertIs(pkg["FeedListEditable"], False)
        self.assertEqual((pkg["NoSplash"], pkg["ModuleBlockSize"], pkg["FixedPreviewSize"]), (1, 0, 0))
        self.assertEqual(pkg["Description"], "")

        self.assertEqual(self.pack('ScrName = "S"\nFeedAddresses = "a;b"\n').returncode, 0)
        pkg = self.info(self.path("saver.scr"))[1]["package"]
        self.assertEqual((pkg["WebAddress"], pkg["FeedAddresses"], pkg["FeedListEditable"]), ("", "a;b", True))
        self.assertEqual(self.pack('ScrName = "S"\nFeedAddresses = []\nFeedListEditable = false\n').returncode, 0)
        pkg = self.info(self.path("saver.scr"))[1]["package"]
        self.assertEqual((pkg["FeedAddresses"], pkg["FeedListEditable"]), ("", False))

    def test_signed_saver_still_finds_its_package(self):
        self.assertEqual(self.pack(MANIFEST).returncode, 0)
        key, cert = self.path("key.pem"), self.path("cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=Quorvex test"], check=True, capture_output=True, timeout=60)
        signed = self.path("signed.scr")
        p = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", self.path("saver.scr"),
                            "-out", signed], capture_output=True, text=True, timeout=60)
        self.assertEqual(p.returncode, 0, p.stdout + p.stderr)
        self.assertGreater(os.path.getsize(signed), os.path.getsize(self.path("saver.scr")))
        _, plain = self.info(self.path("saver.scr"))
        code, doc = self.info(signed)
        self.assertEqual(code, 3)
        self.assertEqual(doc, plain)
        # Packing onto a signed runtime is refused: the signature would not cover the package.
        p = subprocess.run([PACK, "--runtime", signed, "-o", self.path("x.scr"), self.path("m.toml")],
                           capture_output=True, text=True, timeout=30)
        self.assertEqual(p.returncode, 1)
        self.assertIn("signed", p.stderr)

    def test_refusals(self):
        for manifest, words in (('CompanyName = "x"\n', "ScrName"),
                                ('ScrName = "S"\nColour = 1\n', "unknown key"),
                                ('ScrName = "S"\nSplashPicture = "missing.png"\n', "cannot read"),
                                ('ScrName = "S"\nSplashPicture = "module.bin"\n', "format"),
                                ('ScrName = "\u0416"\n', "Windows-1252"),
                                ('ScrName = "S"\nWebAddress = "a|b"\nFeedAddresses = "c"\n', "|"),
                                ('ScrName = "S"\nSplashSeconds = 70000\n', "65535"),
                                ('ScrName = \n', "m.toml")):
            with self.subTest(manifest=manifest):
                p = self.pack(manifest)
                self.assertEqual(p.returncode, 1)
                self.assertIn(words, p.stderr)
        p = subprocess.run([PACK, "--runtime", self.path("module.bin"), self.path("m.toml")],
                           capture_output=True, text=True, timeout=30)
        self.assertNotEqual(p.returncode, 0)

    def test_info_reports_package_errors(self):
        for name, data, error in (("bare.exe", stub_pe(), 2), ("tiny", b"MZ", 1)):
            with open(self.path(name), "wb") as f:
                f.write(data)
            code, doc = self.info(self.path(name))
            self.assertEqual(code, 2)
            self.assertEqual(doc, {"package": None, "error": {"PackageError": error}})
        code, doc = self.info(self.path("absent"))
        self.assertEqual((code, doc["error"]["PackageError"]), (2, 7))


if __name__ == "__main__":
    unittest.main(verbosity=2)
