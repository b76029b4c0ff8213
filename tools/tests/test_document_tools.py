#!/usr/bin/env python3
"""The document in the author tools: quorvex-pack writes a manifest's [Document] table,
quorvex-info --json shows every stored field, and quorvex-unpack takes a saver apart so
that quorvex-pack rebuilds it byte for byte, for every document version; quorvex-info
--resolve shows what the runtime's load rules drop and why. Stored names
never lead a file out of the unpack folder, and nothing is overwritten without --force.

  test_document_tools.py QUORVEX-PACK QUORVEX-INFO QUORVEX-UNPACK"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from stub_pe import stub_pe  # noqa: E402

PACK, INFO, UNPACK = sys.argv[1], sys.argv[2], sys.argv[3]
del sys.argv[1:4]

VERSIONS = (349, 350, 360, 361, 399, 400, 410)

# Fields stored only from a version on, with the value a document has without them.
SINCE = {
    "m_bExtraPicture": (400, 0), "m_wExtraA": (400, 0), "m_wExtraB": (400, 100),
    "m_ExtraPicture": (400, {"name": "", "size": 0}),
    "m_nOpacity": (350, 100), "m_nSpareWord": (350, 0), "m_bFitScreen": (360, 0), "m_bSolidBack": (360, 0),
    "m_crSolidBack": (360, 0), "m_bRandomStart": (361, 0), "m_PhaseDurations": (350, []),
    "m_bHorizontalStrip": (400, 0), "m_bRandomSpeed": (361, 0), "m_nRandomVx": (361, 0), "m_nRandomVy": (361, 0),
}

FILES = {
    "bg.png": b"\x89PNG background" * 20, "clip.flc": os.urandom(700), "loop.wav": b"RIFF loop" * 30,
    "extra.jpg": b"\xff\xd8 extra", "ball.png": os.urandom(400), "strip.bmp": b"BM strip" * 9,
    "boom.wav": b"RIFF boom", "slide.jpg": b"\xff\xd8 slide", "tick.wav": b"RIFF tick",
    "module.bin": b"M" * 900, "banner.jpg": os.urandom(300), "splash.png": b"splash" * 10, "preview.pic": b"BMpic",
}

LONG_TEXT = "A description longer than one length byte. " * 7  # 308 characters

# Every stored field of the document with a value other than its default; slots as
# (manifest value, expected name, expected size).
DOC = {
    "m_wHeaderWord": 7, "m_strSourceFolder": "C:\\Authoring\\Caf\u00e9\\", "m_nDesignWidth": 1440,
    "m_nDesignHeight": 900, "m_nReservedMode": 2, "m_strTitle": 'Title "quoted" \\ slash',
    "m_strNotice": "(c) 2026 \u00a9 \u20ac", "m_strAuthor": "\u00c6gir", "m_strDescription": LONG_TEXT + "\r\nend\t.",
    "m_bFastTiming": 0, "m_nBackgroundKind": 0, "m_nDesktopDimming": 2, "m_bGradientHorizontal": 1,
    "m_nPictureFit": 2, "m_bGradientMirrored": 1, "m_crBackColor": 0x123456, "m_crGradientFrom": 0x01ABCDEF,
    "m_crGradientTo": 0, "m_wSettings": [2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 65535],
    "m_strFontFace": "Tahoma", "m_crSettingsColor": 0x00FF00,
    "m_nMediaCentreX": -5, "m_nMediaCentreY": 4000000000, "m_nMediaSizeX": 80, "m_nMediaSizeY": 60,
    "m_nMediaFit": 3, "m_nMediaSizeBase": 2, "m_bMediaPlayOnce": 1, "m_bSoundLoop": 0,
    "m_bExtraPicture": 1, "m_wExtraA": 5, "m_wExtraB": 6, "m_wIgnored": [1, 2, 3, 4],
}
DOC_SLOTS = {
    "m_BackgroundPicture": ('{ file = "bg.png", name = "C:\\\\Authoring\\\\bg.png" }', "C:\\Authoring\\bg.png", "bg.png"),
    "m_MediaFile": ('"clip.flc"', "clip.flc", "clip.flc"),
    "m_Sound": ('{ name = "www.example.test/music.mp3" }', "www.example.test/music.mp3", None),
    "m_ExtraPicture": ('"extra.jpg"', "extra.jpg", "extra.jpg"),
}
SPRITE = {
    "m_strName": "Ball", "m_strComment": "bounces", "m_nX": -20, "m_nY": 300, "m_nZ": 7, "m_nHotX": 50,
    "m_nHotY": 50, "m_nScaleX": 60, "m_nScaleY": 75, "m_nKeyRed": 255, "m_nKeyGreen": 1, "m_nKeyBlue": 2,
    "m_nKeyTolerance": 12, "m_bTransparent": 0, "m_nOpacity": 40, "m_nSpareWord": 3, "m_bFitScreen": 1,
    "m_bSolidBack": 1, "m_crSolidBack": 0xC0C0C0, "m_bRandomStart": 1, "m_nSpare1": 8, "m_nSpare2": 9,
    "m_nPictureFileSize": 123456, "m_bPictureEmbedded": 1, "m_nCollisionGroup": 4, "m_bCollisionMoves": 0,
}
SPRITE_SLOTS = {
    "m_Picture": ('{ file = "ball.png", name = "D:\\\\pics\\\\ball.png" }', "D:\\pics\\ball.png", "ball.png"),
    "m_SoundCollide": ('"boom.wav"', "boom.wav", "boom.wav"),
    "m_SoundBounceX": ('{ name = "C:\\\\Sounds\\\\missing.wav" }', "C:\\Sounds\\missing.wav", None),
    "m_SoundBounceY": ('{ file = "boom.wav", name = "boom.wav" }', "boom.wav", "boom.wav"),
}
PHASED = {"m_nPhaseCount": 4, "m_nPhaseSpeed": 30, "m_PhaseDurations": [100, 250, 0, 65535],
          "m_bHorizontalStrip": 1}
ANIM = {"m_dVx": -40, "m_dVy": 25, "m_nMotion": 2, "m_nEdgeMode": 1, "m_bRandomSpeed": 1,
        "m_nRandomVx": -3, "m_nRandomVy": 4}
SLIDE = {"m_strText1": "first", "m_strText2": "", "m_wParam1": 1, "m_wParam2": 2, "m_wParam3": 3,
         "m_wParam4": 4, "m_nValue1": -1, "m_nValue2": 70000, "m_wParam5": 5, "m_wParam6": 6,
         "m_wParam7": 7, "m_wIgnored1": 8, "m_wIgnored2": 9}
SLIDE_SLOTS = {"m_SlidePicture": ('"slide.jpg"', "slide.jpg", "slide.jpg"),
               "m_SlideSound": ('{ name = "tick.wav", file = "tick.wav" }', "tick.wav", "tick.wav")}

HEADER = r'''ScrName = "Round Trip"
CompanyName = "Example Works"
RightsLine = "(c) 2026|kept but not shown"
WebAddress = "https://example.test"
FeedAddresses = ["http://127.0.0.1/a.rss", "http://127.0.0.1/b.rss"]
FeedListEditable = false
Description = """
#if german
Deutsch
#endif
{ScrName}"""
NoSplash = false
SplashSeconds = 3
FixedPreview = true
Module = "module.bin"
DialogPicture = "banner.jpg"
SplashPicture = "splash.png"
FixedPreviewPicture = "preview.pic"
FixedPreviewFormat = 0
'''


def toml_value(v):
    if isinstance(v, str):
        return json.dumps(v, ensure_ascii=False)
    if isinstance(v, list):
        return "[" + ", ".join(str(x) for x in v) + "]"
    return str(v)


def table(fields, slots):
    lines = [f"{k} = {toml_value(v)}" for k, v in fields.items()]
    lines += [f"{k} = {v[0]}" for k, v in slots.items()]
    return "\n".join(lines) + "\n"


def full_manifest(version):
    return (HEADER + f"\n[Document]\nDocVersion = {version}\n" + table(DOC, DOC_SLOTS) +
            '\n[[Document.Sprites]]\nclass = "CSprite"\n' + table(SPRITE, SPRITE_SLOTS) +
            '\n[[Document.Sprites]]\nclass = "CPhasedSprite"\n' + table({**SPRITE, **PHASED}, SPRITE_SLOTS) +
            '\n[[Document.Sprites]]\nclass = "CAnimSprite"\n' + table({**SPRITE, **PHASED, **ANIM}, SPRITE_SLOTS) +
            # Defaults only, a picture by path: the class is named by reference now.
            '\n[[Document.Sprites]]\nm_Picture = "strip.bmp"\n' +
            '\n[[Document.Sprites]]\nclass = "CSprite"\nm_Picture = { name = "C:\\\\pics\\\\far.png" }\n' +
            "\n[[Document.Slides]]\n" + table(SLIDE, SLIDE_SLOTS) +
            "\n[[Document.Slides]]\n")


def expected(fields, slots, version):
    out = {}
    for k, v in fields.items():
        since, default = SINCE.get(k, (0, None))
        if k == "m_nMediaCentreY":
            v = v - (1 << 32)  # a DWORD pattern read into a signed field
        out[k] = v if version >= since else default
    for k, (_, name, file) in slots.items():
        since, default = SINCE.get(k, (0, None))
        value = {"name": name, "size": len(FILES[file]) if file else 0}
        out[k] = value if version >= since else default
    return out


class Tools(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qvdoc-")
        self.addCleanup(shutil.rmtree, self.dir)
        self.runtime = self.path("runtime.exe")
        with open(self.runtime, "wb") as f:
            f.write(stub_pe())
        for name, data in FILES.items():
            with open(self.path(name), "wb") as f:
                f.write(data)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def pack(self, manifest_text=None, out="saver.scr", manifest=None):
        if manifest is None:
            manifest = self.path("m.toml")
            with open(manifest, "w", encoding="utf-8") as f:
                f.write(manifest_text)
        return subprocess.run([PACK, "--runtime", self.runtime, "-o", self.path(out), manifest],
                              capture_output=True, text=True, timeout=60)

    def packed(self, manifest_text, out="saver.scr"):
        p = self.pack(manifest_text, out)
        self.assertEqual(p.returncode, 0, p.stderr)
        return self.path(out)

    def info(self, file):
        p = subprocess.run([INFO, file, "--json"], capture_output=True, text=True, timeout=60)
        return p.returncode, json.loads(p.stdout)

    def unpack(self, saver, folder, *args):
        return subprocess.run([UNPACK, *args, saver, folder], capture_output=True, text=True, timeout=60)

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def round_trip(self, saver, name):
        """Unpacks saver, packs the result again and returns (folder, rebuilt saver)."""
        folder = self.path(name)
        p = self.unpack(saver, folder)
        self.assertEqual(p.returncode, 0, p.stderr)
        p = self.pack(out=name + ".scr", manifest=os.path.join(folder, "manifest.toml"))
        self.assertEqual(p.returncode, 0, p.stderr)
        return folder, self.path(name + ".scr")

    def test_every_field_every_version_reads_back_and_rebuilds_byte_identical(self):
        for version in VERSIONS:
            with self.subTest(version=version):
                p = self.pack(full_manifest(version), out=f"v{version}.scr")
                self.assertEqual(p.returncode, 0, p.stderr)
                # Fields the version does not store are named, not silently lost.
                self.assertEqual("m_bRandomStart" in p.stderr, version < 361, p.stderr)
                saver = self.path(f"v{version}.scr")
                code, out = self.info(saver)
                self.assertEqual(code, 0)
                self.assertIsNone(out["error"])
                doc = out["document"]
                self.assertEqual((doc["DocVersion"], doc["m_nMissingFiles"]), (version, 0))
                for key, value in expected(DOC, DOC_SLOTS, version).items():
                    self.assertEqual(doc[key], value, key)

                sprites = doc["sprites"]
                self.assertEqual([s["class"] for s in sprites],
                                 ["CSprite", "CPhasedSprite", "CAnimSprite", "CAnimSprite", "CSprite"])
                self.assertNotIn("m_nPhaseCount", sprites[0])
                self.assertNotIn("m_dVx", sprites[1])
                want = expected({**SPRITE, **PHASED, **ANIM}, SPRITE_SLOTS, version)
                for i, s in enumerate(sprites[:3]):
                    for key in s.keys() - {"class"}:
                        self.assertEqual(s[key], want[key], (i, key))
                # Defaults, and what the picture file implies when the manifest says nothing.
                plain = sprites[3]
                self.assertEqual(plain["m_Picture"], {"name": "strip.bmp", "size": len(FILES["strip.bmp"])})
                self.assertEqual((plain["m_nPictureFileSize"], plain["m_bPictureEmbedded"]),
                                 (len(FILES["strip.bmp"]), 1))
                self.assertEqual((plain["m_nZ"], plain["m_nScaleX"], plain["m_nKeyTolerance"], plain["m_nOpacity"],
                                  plain["m_nPhaseCount"], plain["m_nPhaseSpeed"], plain["m_bCollisionMoves"]),
                                 (50, 100, 1, 100, 1, 15, 1))
                self.assertEqual((sprites[4]["m_Picture"]["size"], sprites[4]["m_bPictureEmbedded"]), (0, 0))

                slides = doc["slides"]
                self.assertEqual(len(slides), 2)
                self.assertEqual({k: slides[0][k] for k in expected(SLIDE, SLIDE_SLOTS, version)},
                                 expected(SLIDE, SLIDE_SLOTS, version))
                self.assertEqual((slides[1]["m_wParam2"], slides[1]["m_SlidePicture"]), (10, {"name": "", "size": 0}))

                folder, rebuilt = self.round_trip(saver, f"unpacked{version}")
                self.assertEqual(self.read(rebuilt), self.read(saver))
                # The same bytes under the same name are written once.
                self.assertEqual(sorted(os.listdir(folder)),
                                 sorted(["manifest.toml", "qvmmp.dll", "dialog.jpg", "splash.png", "fixedpreview.bmp",
                                         "bg.png", "clip.flc", "ball.png", "boom.wav", "strip.bmp", "slide.jpg",
                                         "tick.wav"] + (["extra.jpg"] if version >= 400 else [])))
                self.assertEqual(self.read(os.path.join(folder, "qvmmp.dll")), FILES["module.bin"])

    def test_document_failures_print_the_document_as_it_stood(self):
        good = self.read(self.packed(full_manifest(410)))
        start = self.info(self.path("saver.scr"))[1]["package"]
        offset = (start["PackageStart"] + start["HeaderBlockLength"] + start["ModuleBlockSize"] +
                  start["DialogPictureSize"] + start["SplashPictureSize"] + start["FixedPreviewSize"])
        archive = good[offset:-4]
        long_length = b"QVKSV0410" + b"\x00\x00" + b"\xff\xff\xff\xff\xff\xff\xff" + (1 << 31).to_bytes(8, "little")
        for name, data, message in (("cut.qvd", archive[:len(archive) // 2], "Unexpected file format."),
                                    ("empty.qvd", b"", "Unexpected file format."),
                                    ("long.qvd", long_length, "Failed to open document.")):
            with self.subTest(name=name):
                with open(self.path(name), "wb") as f:
                    f.write(data)
                saver = self.packed(f'ScrName = "S"\nDocument = "{name}"\n')
                code, out = self.info(saver)
                self.assertEqual(code, 3)
                self.assertEqual(out["error"], {"message": message})
                self.assertEqual(out["document"]["sprites"], [])
                text = subprocess.run([INFO, saver], capture_output=True, text=True, timeout=60)
                self.assertEqual(text.returncode, 3)
                self.assertIn(message, text.stdout + text.stderr)
                # Unpack keeps a broken archive as it is, so the rebuild is still the same saver.
                _, rebuilt = self.round_trip(saver, "u" + name)
                self.assertEqual(self.read(rebuilt), self.read(saver))
        # Fields read before the break keep their values.
        out = self.info(self.packed('ScrName = "S"\nDocument = "cut.qvd"\n'))[1]
        self.assertEqual((out["document"]["DocVersion"], out["document"]["m_nDesignWidth"],
                          out["document"]["m_crGradientFrom"]), (410, 1440, 0x01ABCDEF))

    def test_resolve_shows_what_the_runtime_drops_and_why(self):
        # A 1 x 1 24-bit BMP, written out by hand.
        bmp = (b"BM" + (58).to_bytes(4, "little") + b"\0\0\0\0" + (54).to_bytes(4, "little") +
               (40).to_bytes(4, "little") + (1).to_bytes(4, "little") + (1).to_bytes(4, "little") +
               (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + bytes(24) + b"\x10\x20\x30\0")
        os.makedirs(self.path("pics"))
        os.makedirs(self.path("sounds"))
        for name, data in (("ok.bmp", bmp), ("pics/ext.bmp", bmp), ("bad.png", b"not a picture"),
                           ("sounds/here.wav", b"RIFF")):
            with open(self.path(name), "wb") as f:
                f.write(data)
        saver = self.packed('ScrName = "R"\n[Document]\n'
                            'm_nBackgroundKind = 0\n'
                            'm_BackgroundPicture = { file = "bad.png", name = "bad.png" }\n'
                            'm_MediaFile = { name = "  www.example.test/m.avi " }\n'
                            'm_Sound = { name = " sounds\\\\here.wav " }\n'
                            'm_ExtraPicture = { name = "nothere.png" }\n'
                            '[[Document.Sprites]]\nm_Picture = { file = "ok.bmp", name = "ok.bmp" }\n'
                            'm_SoundCollide = { name = "gone.wav" }\n'
                            '[[Document.Sprites]]\nm_Picture = { name = "pics\\\\ext.bmp" }\n'
                            '[[Document.Sprites]]\nm_Picture = { name = "missing.bmp" }\n'
                            '[[Document.Sprites]]\nm_Picture = { file = "ok.bmp", name = "ok.txt" }\n')
        # The default view stays as stored.
        stored = self.info(saver)[1]["document"]
        self.assertEqual((len(stored["sprites"]), stored["m_nMissingFiles"]), (4, 0))

        p = subprocess.run([INFO, saver, "--json", "--resolve"], capture_output=True, text=True, timeout=60)
        self.assertEqual(p.returncode, 0, p.stderr)
        out = json.loads(p.stdout)
        doc, resolved = out["document"], out["resolved"]
        self.assertEqual(doc["m_nBackgroundKind"], 1)  # the embedded picture did not decode
        self.assertEqual(doc["m_BackgroundPicture"], {"name": "", "size": 0})
        self.assertEqual(doc["m_MediaFile"]["name"], "www.example.test/m.avi")  # an address, trimmed
        self.assertEqual(doc["m_Sound"]["name"], "sounds\\here.wav")  # found beside the saver
        self.assertEqual(doc["m_ExtraPicture"]["name"], "")
        self.assertEqual([s["m_Picture"]["name"] for s in doc["sprites"]], ["ok.bmp", "pics\\ext.bmp"])
        self.assertEqual(doc["sprites"][0]["m_SoundCollide"]["name"], "")
        self.assertEqual((doc["m_nMissingFiles"], resolved["MissingFiles"], resolved["SpritesStored"]), (1, 1, 4))
        notes = {(n["where"], n["slot"]): n for n in resolved["notes"]}
        self.assertEqual(sorted(notes), [("document", "BackgroundPicture"), ("document", "ExtraPicture"),
                                         ("sprite 1", "SoundCollide"), ("sprite 3", "Picture"),
                                         ("sprite 4", "Picture")])
        self.assertEqual(notes[("document", "BackgroundPicture")]["action"], "emptied")
        self.assertIn("does not decode", notes[("document", "BackgroundPicture")]["reason"])
        self.assertFalse(notes[("document", "ExtraPicture")]["counted"])
        self.assertTrue(notes[("sprite 1", "SoundCollide")]["counted"])
        self.assertIn("not found: " + self.path("gone.wav"), notes[("sprite 1", "SoundCollide")]["reason"])
        self.assertEqual(notes[("sprite 3", "Picture")]["action"], "dropped")
        self.assertIn("not found", notes[("sprite 3", "Picture")]["reason"])
        self.assertIn("extension", notes[("sprite 4", "Picture")]["reason"])

        text = subprocess.run([INFO, saver, "--resolve"], capture_output=True, text=True, timeout=60)
        self.assertEqual(text.returncode, 0)
        self.assertIn("2 of 4 kept", text.stdout)
        self.assertIn('dropped   sprite 3 Picture "missing.bmp": not found', text.stdout)
        self.assertIn("(counted missing)", text.stdout)

        # The exit codes stay: a document that cannot be read is 3, with the reason.
        with open(self.path("cut.qvd"), "wb") as f:
            f.write(b"QVKSV0410\0")
        broken = self.packed('ScrName = "S"\nDocument = "cut.qvd"\n', out="broken.scr")
        p = subprocess.run([INFO, broken, "--json", "--resolve"], capture_output=True, text=True, timeout=60)
        self.assertEqual((p.returncode, json.loads(p.stdout)["error"]), (3, {"message": "Unexpected file format."}))

    def test_default_document_when_the_manifest_names_none(self):
        code, out = self.info(self.packed('ScrName = "S"\n'))
        self.assertEqual(code, 0)
        doc = out["document"]
        self.assertEqual((doc["DocVersion"], doc["m_nBackgroundKind"], doc["m_crGradientTo"], doc["sprites"]),
                         (410, 1, 0xFF8000, []))

    def test_stored_names_stay_inside_the_folder(self):
        names = ["../../evil.png", "C:\\x\\CON.wav", "sub/dir/..", "Pic.png", "pic.png", "a<b>:c|d?.png",
                 "lpt1.txt.png", "x" * 300 + ".png", " . ", "\x01ctl.png", "nested\\..\\..\\up.png"]
        sprites = ""
        for i, name in enumerate(names):
            with open(self.path(f"f{i}.bin"), "wb") as f:
                f.write(bytes([i]) * (i + 1))
            sprites += f'\n[[Document.Sprites]]\nm_Picture = {{ file = "f{i}.bin", name = {json.dumps(name)} }}\n'
        saver = self.packed('ScrName = "S"\n[Document]\n' + sprites)
        parent = self.path("nest")
        os.mkdir(parent)
        folder, rebuilt = self.round_trip(saver, os.path.join("nest", "out"))
        self.assertEqual(self.read(rebuilt), self.read(saver))
        self.assertEqual(sorted(os.listdir(parent)), ["out", "out.scr"])
        self.assertFalse(os.path.exists(self.path("evil.png")))
        self.assertFalse(os.path.exists(self.path("up.png")))
        files = sorted(os.listdir(folder))
        self.assertEqual(len(files), len(names) + 1)
        for expected_name in ("evil.png", "_CON.wav", "Pic.png", "pic-2.png", "a_b__c_d_.png", "_lpt1.txt.png",
                              "up.png", "_ctl.png", "manifest.toml"):
            self.assertIn(expected_name, files)
        self.assertTrue(all(len(f) <= 100 for f in files))
        for f in files:
            self.assertTrue(os.path.isfile(os.path.join(folder, f)))

    def test_existing_files_are_kept_unless_forced(self):
        saver = self.packed(full_manifest(410))
        folder = self.path("out")
        os.mkdir(folder)
        with open(os.path.join(folder, "ball.png"), "wb") as f:
            f.write(b"mine")
        p = self.unpack(saver, folder)
        self.assertEqual(p.returncode, 1)
        self.assertIn("--force", p.stderr)
        self.assertEqual(os.listdir(folder), ["ball.png"])  # nothing written at all
        self.assertEqual(self.read(os.path.join(folder, "ball.png")), b"mine")

        # --force replaces files; a link in the folder is replaced, never followed.
        outside = self.path("outside.wav")
        with open(outside, "wb") as f:
            f.write(b"keep")
        os.symlink(outside, os.path.join(folder, "boom.wav"))
        os.symlink(self.path("nowhere.png"), os.path.join(folder, "bg.png"))
        p = self.unpack(saver, folder)
        self.assertEqual(p.returncode, 1)
        p = self.unpack(saver, folder, "--force")
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertEqual(self.read(outside), b"keep")
        self.assertFalse(os.path.exists(self.path("nowhere.png")))
        self.assertFalse(os.path.islink(os.path.join(folder, "boom.wav")))
        self.assertEqual(self.read(os.path.join(folder, "ball.png")), FILES["ball.png"])
        p = self.pack(out="again.scr", manifest=os.path.join(folder, "manifest.toml"))
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertEqual(self.read(self.path("again.scr")), self.read(saver))

        p = self.unpack(self.runtime, self.path("bare"))
        self.assertEqual(p.returncode, 2)
        self.assertFalse(os.path.exists(self.path("bare")))

    def test_manifest_refusals(self):
        for body, words in (('m_nColour = 1\n', "unknown key m_nColour"),
                            ('m_nDesignWidth = 70000\n', "0..65535"),
                            ('m_nDesignWidth = "wide"\n', "integer"),
                            ('m_crBackColor = -1\n', "0..4294967295"),
                            ('m_wSettings = [1, 2]\n', "exactly 14"),
                            ('DocVersion = 10000\n', "0..9999"),
                            ('m_Sound = { path = "loop.wav" }\n', "unknown key path"),
                            ('m_Sound = "absent.wav"\n', "cannot read"),
                            ('m_Sound = { }\n', "needs a file"),
                            ('m_strTitle = "\u0416"\n', "Windows-1252"),
                            ('[[Document.Sprites]]\nclass = "CSprite"\nm_dVx = 1\n', "not a field of CSprite"),
                            ('[[Document.Sprites]]\nclass = "CBall"\n', "CSprite, CPhasedSprite or CAnimSprite"),
                            ('[[Document.Sprites]]\nm_PhaseDurations = [1, -1]\n', "m_PhaseDurations[1]"),
                            ('[[Document.Sprites]]\nm_nX = 2147483648\n', "signed 32-bit"),
                            ('[[Document.Slides]]\nm_nValue1 = 4294967296\n', "32 bits")):
            with self.subTest(body=body):
                p = self.pack('ScrName = "S"\n[Document]\n' + body)
                self.assertEqual(p.returncode, 1)
                self.assertIn(words, p.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
