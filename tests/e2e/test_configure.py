#!/usr/bin/env python3
"""The configuration dialog and the feed options dialog, driven under Wine: texts in the
user's language, the collapsed layout, the banner, the scrolling description, and the
settings OK writes (and Cancel does not)."""
import os
import struct
import time
import unittest

import qvharness as h

IDOK, IDCANCEL = 1, 2
BANNER_LINE, SCR_NAME, RIGHTS, WEB_LABEL, WEB_ADDRESS, MUTE = 1003, 1004, 1005, 1006, 1007, 1008
RSS_BUTTON, DESCRIPTION, FOOTER_LINE = 5592, 1010, 1018
RSS_ENABLE, RSS_LIST_LABEL, RSS_LIST, USE_PROXY = 5594, 5596, 5595, 1123
PROXY_ADDRESS_LABEL, PROXY_ADDRESS, PORT_LABEL, PORT = 5593, 1126, 1119, 1129
USE_AUTH, LOGIN_LABEL, LOGIN, PASSWORD_LABEL, PASSWORD = 1201, 1140, 1162, 1170, 1161
PROXY_FIELDS = (PROXY_ADDRESS_LABEL, PROXY_ADDRESS, PORT_LABEL, PORT, USE_AUTH)
CREDENTIALS = (LOGIN_LABEL, LOGIN, PASSWORD_LABEL, PASSWORD)

CAPTION = "Screen Saver Properties"
BASE_KEY = r"HKCU\SOFTWARE\Quorvex\Compiled ScreenSaver"
PREFS = BASE_KEY + r"\prefs"
BANNER_COLOUR = (200, 40, 90)
BANNER_SIZE = (120, 40)
WORK = os.path.join(h.STATE, "configure")


class Item:
    def __init__(self, line):
        f = line.rstrip("\n").split("\t", 11)
        self.enabled, self.visible, self.checked = f[0] == "1", f[1] == "1", f[2] == "1"
        self.rect = tuple(int(v) for v in f[3:7])     # dialog client coordinates
        self.screen = tuple(int(v) for v in f[7:11])  # screen coordinates
        self.text = f[11] if len(f) > 11 else ""

    @property
    def centre(self):
        return ((self.screen[0] + self.screen[2]) // 2, (self.screen[1] + self.screen[3]) // 2)


def item(dialog, control):
    p = h.wine([h.QVWIN, "item", str(dialog), str(control)], timeout=30)
    if p.returncode != 0 or not p.stdout.strip():
        there = [w for w in h.windows() if w.hwnd == dialog]
        raise h.HarnessError(f"no item {control} in {dialog} (exit {p.returncode}; the dialog "
                             f"{'is ' + repr(there[0]) if there else 'is gone'}) {p.stderr.strip()[-300:]}")
    return Item(p.stdout.splitlines()[0])


def set_text(dialog, control, text):
    escaped = text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")
    h.wine([h.QVWIN, "settext", str(dialog), str(control), escaped], timeout=30, check=True)


def click_item(dialog, control):
    """A real mouse click in the middle of the control."""
    x, y = item(dialog, control).centre
    h.mouse_to(x, y)
    h.click()


set_dpi = h.set_dpi


def rows_of(picture, rect):
    """The pixel rows of a screen rectangle, as bytes."""
    l, t, r, b = rect
    return [bytes(picture.rgb[3 * (y * picture.width + l):3 * (y * picture.width + r)]) for y in range(t, b)]


def type_into(dialog, control, text):
    """Empties an edit, clicks into it and types the text on the keyboard."""
    set_text(dialog, control, "")
    click_item(dialog, control)
    h.xdotool("type", "--delay", "20", text)
    if control != PASSWORD:  # another process cannot read a password edit back
        h.wait_for(lambda: item(dialog, control).text == text, 10, what=f"the text typed into {control}")


def write_bmp(path, size, colour):
    w, hgt = size
    row = bytes((colour[2], colour[1], colour[0])) * w
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * hgt
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, hgt, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def toml_text(value):
    return '"""' + value.replace("\\", "\\\\").replace('"', '\\"') + '"""'


def make_saver(name, **fields):
    """Packs the runtime with a manifest of these header fields; returns the saver path."""
    os.makedirs(WORK, exist_ok=True)
    lines = [f"ScrName = {toml_text(fields.pop('ScrName'))}", "NoSplash = true"]
    for key, value in fields.items():
        if isinstance(value, bool):
            lines.append(f"{key} = {'true' if value else 'false'}")
        elif isinstance(value, list):
            lines.append(f"{key} = [" + ", ".join(toml_text(v) for v in value) + "]")
        else:
            lines.append(f"{key} = {toml_text(value)}")
    manifest = os.path.join(WORK, name + ".toml")
    with open(manifest, "w") as f:
        f.write("\n".join(lines) + "\n[Document]\nm_nBackgroundKind = 2\n")
    exe = os.path.join(WORK, name + ".scr")
    p = h.pack(manifest, exe)
    if p.returncode != 0:
        raise h.HarnessError(f"packing {name} failed: {p.stdout} {p.stderr}")
    return exe


LONG_DESCRIPTION = "\n".join(f"Line {i} of a description far taller than its box." for i in range(1, 41))


class Configure(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WORK, exist_ok=True)
        banner = os.path.join(WORK, "banner.bmp")
        write_bmp(banner, BANNER_SIZE, BANNER_COLOUR)
        common = dict(CompanyName="Quorvex Tests", RightsLine="(c) 2026 Quorvex tests",
                      WebAddress="http://127.0.0.1/", DialogPicture=h.winpath(banner))
        cls.full = make_saver("full", ScrName="Quorvex Full", Description=LONG_DESCRIPTION,
                              FeedAddresses=["http://127.0.0.1:9/a.rss", "http://127.0.0.1:9/b.rss"],
                              FeedListEditable=True, **common)
        cls.locked = make_saver("locked", ScrName="Quorvex Locked", Description="Short.",
                                FeedAddresses=["http://127.0.0.1:9/a.rss"], FeedListEditable=False, **common)
        cls.bare = make_saver("bare", ScrName="Quorvex Bare")
        broken = os.path.join(WORK, "broken.bmp")
        with open(broken, "wb") as f:
            f.write(b"BM" + b"\xff" * 70)  # a header that promises what is not there
        cls.broken_picture = make_saver("brokenpicture", ScrName="Quorvex Broken", DialogPicture=h.winpath(broken))
        cls.no_rights_web = make_saver("norightsweb", ScrName="Quorvex Middle", Description="Short.")
        for name in ("Quorvex Full", "Quorvex Locked", "Quorvex Test", "Quorvex Bare", "Quorvex Middle"):
            h.reg_delete(BASE_KEY + "\\" + name)
        h.reg_delete(PREFS)

    def open_dialog(self, exe=None, *args, extra_env=None, caption=CAPTION):
        # A dialog of the previous test may still be going away (its process killed):
        # only a window that was not there before the launch is this run's.
        before = {w.hwnd for w in h.find_windows("#32770", caption, visible_only=False)}
        saver = h.Saver("/c", *args, exe=exe, extra_env=extra_env)
        self.addCleanup(saver.kill)
        dialog = h.wait_for(lambda: [w for w in h.find_windows("#32770", caption) if w.hwnd not in before],
                            20, what=f"a new dialog {caption!r}")[0]
        return saver, dialog.hwnd

    def diagnostic(self, exe):
        """Opens the dialog with the settings diagnostic on, returns its values, cancels."""
        out = os.path.join(WORK, "diagnostic.txt")
        if os.path.exists(out):
            os.remove(out)
        saver, dialog = self.open_dialog(exe, extra_env={"QV_TEST_DIAGNOSTIC_FILE": h.winpath(out)})
        h.wait_for(lambda: os.path.exists(out) and os.path.getsize(out) > 0, 20, what="the diagnostic")
        with open(out, encoding="latin-1") as f:
            values = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        return saver, dialog, values

    def test_texts_mute_ok_and_cancel(self):
        key = BASE_KEY + r"\Quorvex Test"
        h.reg_delete(key)
        h.reg_delete(PREFS)
        saver, dialog = self.open_dialog()
        self.assertEqual(item(dialog, SCR_NAME).text, "Quorvex Test")
        self.assertEqual(item(dialog, RIGHTS).text, "(c) 2026 Quorvex tests")
        self.assertEqual(item(dialog, WEB_ADDRESS).text, "http://127.0.0.1/")
        self.assertEqual(item(dialog, WEB_LABEL).text, "Web Site:")
        self.assertEqual(item(dialog, MUTE).text, "&Mute Sound")
        self.assertEqual(item(dialog, IDOK).text, "OK")
        self.assertEqual(item(dialog, IDCANCEL).text, "Cancel")
        self.assertFalse(item(dialog, RSS_BUTTON).visible)  # the package has no feed list
        # The link takes the mouse (a plain static is transparent to it) and sets a hand.
        link = [w for w in h.windows(parent=dialog) if w.title == "http://127.0.0.1/"][0]
        send = lambda *a: h.wine([h.QVWIN, "send", str(link.hwnd)] + [str(v) for v in a], timeout=30).stdout.strip()
        self.assertEqual(send(0x84, 0, 0), "1")  # WM_NCHITTEST: HTCLIENT
        self.assertEqual(send(0x20, link.hwnd, (0x200 << 16) | 1), "1")  # WM_SETCURSOR handled
        self.assertFalse(item(dialog, MUTE).checked)
        # Mute switched on, then Cancel: nothing is written.
        click_item(dialog, MUTE)
        h.wait_for(lambda: item(dialog, MUTE).checked, 10, what="the mute box to be checked")
        h.wine([h.QVWIN, "click", str(dialog), str(IDCANCEL)], timeout=30)
        self.assertEqual(saver.wait(10), 0)
        self.assertIsNone(h.reg_query(key, "bMuteSound"))
        self.assertIsNone(h.reg_query(PREFS, "bUseProxy"))

        # Again with OK: every setting is written, the list as "not set".
        saver, dialog = self.open_dialog()
        click_item(dialog, MUTE)
        h.wait_for(lambda: item(dialog, MUTE).checked, 10, what="the mute box to be checked")
        h.wine([h.QVWIN, "click", str(dialog), str(IDOK)], timeout=30)
        self.assertEqual(saver.wait(10), 1)
        self.assertEqual(h.reg_query(key, "bMuteSound"), "1")
        self.assertEqual(h.reg_query(key, "UseRss"), "1")
        self.assertEqual(h.reg_query(key, "RssAddresses"), "@@@")
        for name in ("bUseProxy", "bUseProxyAuthentication", "ProxyPort"):
            self.assertIsNotNone(h.reg_query(PREFS, name), name)

        # The runtime reads back what the dialog wrote; the box shows it.
        saver, dialog, values = self.diagnostic(None)
        self.assertEqual(values["MuteSound"], "1")
        self.assertEqual(values["FeedList"], "@@@")
        self.assertTrue(item(dialog, MUTE).checked)
        h.key("Escape", focus_title=CAPTION)
        self.assertEqual(saver.wait(10), 0)

    def test_german_texts_from_the_language_override(self):
        lang_key = r"HKCU\SOFTWARE\Quorvex Tests\Quorvex Full"
        h.reg_add(lang_key, "AppLanguage", "3")
        self.addCleanup(h.reg_delete, lang_key)
        saver, dialog = self.open_dialog(self.full, caption="Bildschirmschoner Einstellungen")
        self.assertEqual(item(dialog, WEB_LABEL).text, "Homepage")
        self.assertEqual(item(dialog, MUTE).text, "&Kein Sound")
        self.assertEqual(item(dialog, IDCANCEL).text, "Abbruch")
        self.assertEqual(item(dialog, IDOK).text, "OK")
        self.assertEqual(item(dialog, SCR_NAME).text, "Quorvex Full")
        h.wine([h.QVWIN, "click", str(dialog), str(IDCANCEL)], timeout=30)
        self.assertEqual(saver.wait(10), 0)

    def open_rss(self, dialog):
        click_item(dialog, RSS_BUTTON)
        return h.wait_for_window("#32770", "RSS Settings").hwnd

    def enabled(self, rss, controls):
        return [item(rss, c).enabled for c in controls]

    def test_feed_options_enabling_and_stored_values(self):
        key = BASE_KEY + r"\Quorvex Full"
        h.reg_add(PREFS, "ProxyAddress", "old.proxy")
        h.reg_add(PREFS, "bUseProxy", "0")
        h.reg_add(PREFS, "bUseProxyAuthentication", "1")
        h.reg_add(PREFS, "ProxyPort", "x12")  # not a number: reads as 0
        self.addCleanup(h.reg_delete, PREFS)
        saver, dialog = self.open_dialog(self.full)
        self.assertTrue(item(dialog, RSS_BUTTON).visible)
        rss = self.open_rss(dialog)
        self.assertEqual(item(rss, PROXY_ADDRESS).text, "old.proxy")
        self.assertEqual(item(rss, PORT).text, "0")
        self.assertEqual(item(rss, RSS_LIST).text, r"http://127.0.0.1:9/a.rss\r\nhttp://127.0.0.1:9/b.rss")
        self.assertTrue(item(rss, RSS_ENABLE).checked)
        # Proxy off: authentication and credentials are disabled although it is checked.
        self.assertTrue(item(rss, USE_AUTH).checked)
        self.assertEqual(self.enabled(rss, PROXY_FIELDS + CREDENTIALS), [False] * 9)
        self.assertEqual(self.enabled(rss, (RSS_LIST_LABEL, RSS_LIST, RSS_ENABLE, USE_PROXY)), [True] * 4)
        click_item(rss, USE_PROXY)
        h.wait_for(lambda: item(rss, USE_PROXY).checked, 10, what="the proxy box")
        self.assertEqual(self.enabled(rss, PROXY_FIELDS + CREDENTIALS), [True] * 9)
        click_item(rss, USE_AUTH)
        h.wait_for(lambda: not item(rss, USE_AUTH).checked, 10, what="the authentication box")
        self.assertEqual(self.enabled(rss, PROXY_FIELDS), [True] * 5)
        self.assertEqual(self.enabled(rss, CREDENTIALS), [False] * 4)
        click_item(rss, USE_AUTH)
        h.wait_for(lambda: item(rss, USE_AUTH).checked, 10, what="the authentication box")
        self.assertEqual(self.enabled(rss, CREDENTIALS), [True] * 4)

        # A port that is not an integer keeps the dialog open with the framework's message.
        set_text(rss, PORT, "80a")
        h.wine([h.QVWIN, "click", str(rss), str(IDOK)], timeout=30)
        box = h.wait_for_window("#32770", "Error")
        self.assertIn("Please enter an integer.", h.window_text(box.hwnd))
        h.wine([h.QVWIN, "click", str(box.hwnd), str(IDCANCEL)], timeout=30)
        h.wait_for(lambda: not h.find_windows("#32770", "Error"), 15, what="the message box to close")
        self.assertTrue(h.find_windows("#32770", "RSS Settings"))

        type_into(rss, PROXY_ADDRESS, "proxy.example")
        type_into(rss, PORT, " 3128 ")
        type_into(rss, LOGIN, "user name")
        type_into(rss, PASSWORD, "pa;ss word")
        # The list edited by keyboard: one address kept, a new line typed after it.
        set_text(rss, RSS_LIST, "http://127.0.0.1:9/a.rss")
        click_item(rss, RSS_LIST)
        h.xdotool("key", "ctrl+End", "Return")
        h.xdotool("type", "--delay", "20", "http://127.0.0.1:9/c.rss")
        h.wait_for(lambda: item(rss, RSS_LIST).text.endswith("c.rss"), 10, what="the typed list")
        click_item(rss, RSS_ENABLE)
        h.wait_for(lambda: not item(rss, RSS_ENABLE).checked, 10, what="the feed box")
        h.wine([h.QVWIN, "click", str(rss), str(IDOK)], timeout=30)
        h.wait_for(lambda: not h.find_windows("#32770", "RSS Settings"), 15, what="the feed options to close")
        # Nothing is written before the configuration dialog's OK.
        self.assertEqual(h.reg_query(PREFS, "ProxyAddress"), "old.proxy")
        h.wine([h.QVWIN, "click", str(dialog), str(IDOK)], timeout=30)
        self.assertEqual(saver.wait(10), 1)
        self.assertEqual(h.reg_query(PREFS, "bUseProxy"), "1")
        self.assertEqual(h.reg_query(PREFS, "bUseProxyAuthentication"), "1")
        self.assertEqual(h.reg_query(PREFS, "ProxyAddress"), "proxy.example")
        self.assertEqual(h.reg_query(PREFS, "ProxyPort"), "3128")
        self.assertEqual(h.reg_query(PREFS, "ProxyAuthenticationLogin"), "user name")
        self.assertEqual(h.reg_query(PREFS, "ProxyAuthenticationPassword"), "pa;ss word")
        self.assertEqual(h.reg_query(key, "RssAddresses"), "http://127.0.0.1:9/a.rss;http://127.0.0.1:9/c.rss")
        self.assertEqual(h.reg_query(key, "UseRss"), "0")

        # The runtime reads the same back; the stored list is now what the dialog shows.
        saver, dialog, values = self.diagnostic(self.full)
        self.assertEqual(values["ProxyAddress"], "proxy.example")
        self.assertEqual(values["ProxyPort"], "3128")
        self.assertEqual(values["UseProxy"], "1")
        self.assertEqual(values["UseRss"], "0")
        self.assertEqual(values["FeedList"], "http://127.0.0.1:9/a.rss;http://127.0.0.1:9/c.rss")
        rss = self.open_rss(dialog)
        self.assertEqual(item(rss, RSS_LIST).text, r"http://127.0.0.1:9/a.rss\r\nhttp://127.0.0.1:9/c.rss")
        self.assertEqual(item(rss, LOGIN).text, "user name")
        # Over-long texts are cut to 128 and 64 characters when taken back.
        set_text(rss, PROXY_ADDRESS, "p" * 200)
        set_text(rss, LOGIN, "l" * 100)
        h.wine([h.QVWIN, "click", str(rss), str(IDOK)], timeout=30)
        h.wait_for(lambda: not h.find_windows("#32770", "RSS Settings"), 15, what="the feed options to close")
        h.wine([h.QVWIN, "click", str(dialog), str(IDOK)], timeout=30)
        self.assertEqual(saver.wait(10), 1)
        self.assertEqual(h.reg_query(PREFS, "ProxyAddress"), "p" * 128)
        self.assertEqual(h.reg_query(PREFS, "ProxyAuthenticationLogin"), "l" * 64)

    def test_locked_list_is_greyed_and_unchanged_package_list_is_not_stored(self):
        key = BASE_KEY + r"\Quorvex Locked"
        saver, dialog = self.open_dialog(self.locked)
        rss = self.open_rss(dialog)
        self.assertEqual(self.enabled(rss, (RSS_LIST_LABEL, RSS_LIST)), [False, False])
        self.assertEqual(self.enabled(rss, (RSS_ENABLE, USE_PROXY)), [True, True])
        h.wine([h.QVWIN, "click", str(rss), str(IDOK)], timeout=30)
        h.wait_for(lambda: not h.find_windows("#32770", "RSS Settings"), 15, what="the feed options to close")
        h.wine([h.QVWIN, "click", str(dialog), str(IDOK)], timeout=30)
        self.assertEqual(saver.wait(10), 1)
        self.assertEqual(h.reg_query(key, "RssAddresses"), "@@@")

    def test_collapsed_layout(self):
        saver, dialog, values = self.diagnostic(self.full)
        base = int(values["DialogBaseHeight"])
        full = {c: item(dialog, c) for c in (MUTE, RSS_BUTTON, DESCRIPTION, FOOTER_LINE, IDOK, IDCANCEL, WEB_LABEL)}
        full_height = h.find_windows("#32770", CAPTION)[0].size[1]
        h.key("Escape", focus_title=CAPTION)
        saver.wait(10)

        def moved(top, shift):
            return (top * 8 // base - shift) * base // 8

        # No rights line and no web address: 14 units up, 14 units less tall.
        saver, dialog = self.open_dialog(self.no_rights_web)
        for c in (RIGHTS, WEB_LABEL, WEB_ADDRESS, RSS_BUTTON):
            self.assertFalse(item(dialog, c).visible, c)
        for c in (MUTE, DESCRIPTION, FOOTER_LINE, IDOK, IDCANCEL):
            got = item(dialog, c)
            self.assertEqual(got.rect[1], moved(full[c].rect[1], 14), c)
            self.assertEqual(got.rect[0], full[c].rect[0], c)
            self.assertEqual(got.rect[3] - got.rect[1], full[c].rect[3] - full[c].rect[1], c)
        self.assertEqual(h.find_windows("#32770", CAPTION)[0].size[1], moved(full_height, 14))
        h.key("Escape", focus_title=CAPTION)
        saver.wait(10)

        # Nothing but a name: the description goes too, 78 units in all.
        saver, dialog = self.open_dialog(self.bare)
        self.assertFalse(item(dialog, DESCRIPTION).visible)
        for c in (MUTE, FOOTER_LINE, IDOK, IDCANCEL):
            self.assertEqual(item(dialog, c).rect[1], moved(full[c].rect[1], 78 if c != MUTE else 14), c)
        self.assertEqual(h.find_windows("#32770", CAPTION)[0].size[1], moved(full_height, 78))
        h.screenshot(h.artifact("configure-collapsed.png"))
        h.key("Escape", focus_title=CAPTION)
        saver.wait(10)

    def client_origin(self, dialog):
        it = item(dialog, SCR_NAME)
        return it.screen[0] - it.rect[0], it.screen[1] - it.rect[1]

    def test_banner_is_centred_and_descriptions_scroll_only_when_long(self):
        saver, dialog = self.open_dialog(self.full)
        time.sleep(1.0)
        ox, oy = self.client_origin(dialog)
        banner = item(dialog, BANNER_LINE)
        box = item(dialog, DESCRIPTION)
        shot = h.screenshot(h.artifact("configure-full.png"))
        xs, ys = [], []
        for y in range(oy, oy + banner.rect[3]):
            for x in range(ox + banner.rect[0], ox + banner.rect[2]):
                if shot.pixel(x, y) == BANNER_COLOUR:
                    xs.append(x)
                    ys.append(y)
        self.assertTrue(xs, "the banner picture is not on the screen")
        bw, bh = banner.rect[2] - banner.rect[0], banner.rect[3]
        self.assertEqual((min(xs), min(ys)), (ox + banner.rect[0] + (bw - BANNER_SIZE[0]) // 2,
                                             oy + (bh - BANNER_SIZE[1]) // 2))
        self.assertEqual((max(xs) - min(xs) + 1, max(ys) - min(ys) + 1), BANNER_SIZE)
        # The link drawn underlined in its colour; the footer's grey below its line.
        link = item(dialog, WEB_ADDRESS).screen
        self.assertIn((0x40, 0x80, 0xFF), shot.region_colours(*link))
        footer = item(dialog, FOOTER_LINE)
        self.assertEqual(shot.pixel(ox + 2, oy + footer.rect[1] - 1), (0xE6, 0xE6, 0xE6))
        self.assertEqual(shot.pixel(ox + 2, oy + footer.rect[3] + 4), (0xF3, 0xF3, 0xF3))
        # The description box: its border colour, and the text moving after the 5-second rest.
        l, t, r, b = box.screen
        self.assertEqual(shot.pixel(l, t), (0x96, 0xB4, 0xD2))
        first = shot.region_colours(l, t, r, b)
        before = rows_of(shot, box.screen)
        time.sleep(6.5)
        after = rows_of(h.screenshot(h.artifact("configure-full-scrolled.png")), box.screen)
        self.assertTrue(len(first) > 2, "the description box shows no text")
        self.assertNotEqual(before, after, "the long description did not scroll")
        h.key("Escape", focus_title=CAPTION)
        saver.wait(10)

        # A short description is centred and stays put.
        saver, dialog = self.open_dialog(self.locked)
        time.sleep(1.0)
        box = item(dialog, DESCRIPTION)
        l, t, r, b = box.screen
        rows = rows_of(h.screenshot(), box.screen)
        dark = [i for i, row in enumerate(rows) if any(v < 128 for v in row)]
        self.assertTrue(dark, "the short description is not drawn")
        middle = (min(dark) + max(dark)) / 2
        self.assertLess(abs(middle - (b - t) / 2), 4, "the short description is not centred")
        time.sleep(6.5)
        self.assertEqual(rows, rows_of(h.screenshot(), box.screen), "the short description moved")
        h.key("Escape", focus_title=CAPTION)
        saver.wait(10)

    def test_dialogs_at_96_and_144_dpi(self):
        self.addCleanup(set_dpi, 96)
        sizes = {}
        for dpi in (96, 144):
            set_dpi(dpi)
            saver, dialog, values = self.diagnostic(self.full)
            if int(values["ScreenDpiY"]) != dpi:
                self.skipTest(f"Wine did not take LogPixels {dpi} (reads {values['ScreenDpiY']})")
            window = h.find_windows("#32770", CAPTION)[0]
            sizes[dpi] = window.size
            time.sleep(0.5)
            h.screenshot(h.artifact(f"configure-{dpi}dpi.png"))
            # Unclipped: the buttons and the box lie inside the window.
            for c in (IDOK, IDCANCEL, DESCRIPTION, RSS_BUTTON):
                l, t, r, b = item(dialog, c).screen
                self.assertTrue(window.rect[0] < l < r < window.rect[2] and window.rect[1] < t < b < window.rect[3], c)
            rss = self.open_rss(dialog)
            rss_window = h.find_windows("#32770", "RSS Settings")[0]
            time.sleep(0.5)
            h.screenshot(h.artifact(f"rss-settings-{dpi}dpi.png"))
            for c in (IDOK, IDCANCEL, PASSWORD, RSS_LIST):
                l, t, r, b = item(rss, c).screen
                self.assertTrue(rss_window.rect[0] < l < r < rss_window.rect[2] and
                                rss_window.rect[1] < t < b < rss_window.rect[3], c)
            h.wine([h.QVWIN, "click", str(rss), str(IDCANCEL)], timeout=30)
            h.wait_for(lambda: not h.find_windows("#32770", "RSS Settings"), 15, what="the feed options to close")
            h.wine([h.QVWIN, "click", str(dialog), str(IDCANCEL)], timeout=30)
            self.assertEqual(saver.wait(10), 0)
        # Laid out in dialog units: everything grows with the resolution (about 1.5 times).
        for axis in (0, 1):
            self.assertGreater(sizes[144][axis], sizes[96][axis] * 1.3, axis)

    def test_picture_that_does_not_decode_leaves_a_white_banner(self):
        saver, dialog = self.open_dialog(self.broken_picture)
        time.sleep(1.0)
        ox, oy = self.client_origin(dialog)
        banner = item(dialog, BANNER_LINE)
        shot = h.screenshot()
        # Above the banner's bottom line and the etched line control: white only.
        self.assertEqual(shot.region_colours(ox + banner.rect[0], oy, ox + banner.rect[2], oy + banner.rect[1] - 1),
                         {(255, 255, 255)})
        self.assertEqual(item(dialog, SCR_NAME).text, "Quorvex Broken")
        h.key("Escape", focus_title=CAPTION)
        self.assertEqual(saver.wait(10), 0)

    def test_package_that_does_not_load_shows_its_message_and_closes(self):
        saver = h.Saver("/c", exe=h.BARE_SAVER)
        self.addCleanup(saver.kill)
        box = h.wait_for_window("#32770", timeout=20)
        self.assertIn("Unable to load Screen Saver extended data (err = 2)", h.window_text(box.hwnd))
        self.assertEqual(h.find_windows("#32770", CAPTION), [])

        # Under load a click can reach the box before it takes input: click until it goes.
        def dismissed():
            if not any(w.hwnd == box.hwnd for w in h.find_windows("#32770")):
                return True
            h.wine([h.QVWIN, "click", str(box.hwnd), str(IDCANCEL)], timeout=30)
            return False
        h.wait_for(dismissed, 20, interval=2, what="the message box to close")
        self.assertEqual(saver.wait(15), 0)

    def test_colon_handle_names_the_owner_and_empty_arguments_open_unowned(self):
        host = h.PreviewHost()  # a top-level window to own the dialog
        self.addCleanup(host.kill)
        saver = h.Saver(f"/c:{host.host}")
        self.addCleanup(saver.kill)
        dialog = h.wait_for_window("#32770", CAPTION)
        self.assertEqual(dialog.related, host.host)
        h.wine([h.QVWIN, "click", str(dialog.hwnd), str(IDCANCEL)], timeout=30)
        self.assertEqual(saver.wait(10), 0)

        saver = h.Saver()  # no argument text at all
        self.addCleanup(saver.kill)
        dialog = h.wait_for_window("#32770", CAPTION)
        self.assertEqual(dialog.related, 0)
        h.key("Escape", focus_title=CAPTION)
        self.assertEqual(saver.wait(10), 0)


if __name__ == "__main__":
    h.run_tests()
