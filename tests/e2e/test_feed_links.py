#!/usr/bin/env python3
"""F2 on a shown feed item opens its link through the shell's registered web browser,
and never through a program found by name: a harmless explorer.exe of ours lies beside
the saver (where a downloaded saver's folder could hold one) and must not run. The
configuration dialog's link opens only web and mail addresses ("www." as http), never
a program the package names. The feed card is recorded at 96 and 144 dpi.

Both stand-ins are qvmarker.exe, which appends its command line to "<itself>.ran": one
planted as explorer.exe, one registered in the prefix as the http handler."""
import os
import shutil
import sys
import time
import unittest

import qvharness as h
from feedserver import FeedServer
from test_configure import CAPTION, IDCANCEL, WEB_ADDRESS, click_item
from test_feed import SETTINGS_KEY, boxes, read_log
from test_feed import manifest as feed_manifest

HTTP_HANDLER = r"HKCR\http\shell\open\command"
MARKER = os.path.join(h.BUILD, "qvmarker.exe")


def default_value(key_path):
    """The key's default text as reg prints it, or None when it has none."""
    p = h.wine(["reg", "query", key_path, "/ve"], timeout=30)
    if p.returncode != 0:
        return None
    for line in p.stdout.splitlines():
        parts = line.split(None, 2)
        if len(parts) >= 3 and parts[1].startswith("REG_"):
            return parts[2].strip()
    return None


def set_default_value(key_path, text):
    h.wine(["reg", "add", key_path, "/ve", "/d", text, "/f"], timeout=30, check=True)


def cancel(saver, dialog):
    """Closes the configuration dialog by its Cancel button (a key would need the X focus,
    which a window going away under the search can take)."""
    h.wine([h.QVWIN, "click", str(dialog), str(IDCANCEL)], timeout=30)
    saver.wait(10)


class FeedLinks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = FeedServer().start()
        h.reg_delete(SETTINGS_KEY)  # the package's feed list, not one a user stored
        cls.folder = h.fresh_folder("feed-links")
        manifest = os.path.join(cls.folder, "links.toml")
        with open(manifest, "w") as f:
            f.write(feed_manifest([cls.server.url("news_utf8.xml")]))
        cls.saver = os.path.join(cls.folder, "links.scr")
        p = h.pack(manifest, cls.saver)
        if p.returncode != 0:
            raise h.HarnessError(f"packing the saver failed: {p.stdout} {p.stderr}")
        cls.planted = os.path.join(cls.folder, "explorer.exe")
        shutil.copy(MARKER, cls.planted)
        browser_dir = os.path.join(cls.folder, "browser")
        os.makedirs(browser_dir)
        cls.browser = os.path.join(browser_dir, "qvbrowser.exe")
        shutil.copy(MARKER, cls.browser)
        cls.old_handler = default_value(HTTP_HANDLER)
        set_default_value(HTTP_HANDLER, f'"{h.winpath(cls.browser)}" "%1"')

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        if cls.old_handler is not None:
            set_default_value(HTTP_HANDLER, cls.old_handler)
        h.reg_delete(SETTINGS_KEY)

    def setUp(self):
        for ran in (self.browser + ".ran", self.planted + ".ran"):
            if os.path.exists(ran):
                os.remove(ran)

    def open_dialog(self, exe):
        before = {w.hwnd for w in h.find_windows("#32770", CAPTION, visible_only=False)}
        saver = h.Saver("/c", exe=exe)
        self.addCleanup(saver.kill)
        dialog = h.wait_for(lambda: [w for w in h.find_windows("#32770", CAPTION) if w.hwnd not in before],
                            20, what="the configuration dialog")[0].hwnd
        return saver, dialog

    def test_a_stored_list_too_long_to_read_survives_ok(self):
        stored = ";".join(f"http://127.0.0.1:9/feed{i:03}.xml" for i in range(12))  # 371 bytes
        h.reg_add(SETTINGS_KEY, "RssAddresses", stored)
        self.addCleanup(h.reg_delete, SETTINGS_KEY)
        saver, dialog = self.open_dialog(self.saver)
        h.wine([h.QVWIN, "click", str(dialog), "1"], timeout=30)
        self.assertEqual(saver.wait(10), 1)
        self.assertEqual(h.reg_query(SETTINGS_KEY, "RssAddresses"), stored)

    def click_link(self, name, web_address):
        """Packs a saver with that web address, clicks its link in the configuration
        dialog and cancels the dialog."""
        manifest = os.path.join(self.folder, name + ".toml")
        with open(manifest, "w") as f:
            f.write(f'ScrName = "Quorvex {name}"\nWebAddress = "{web_address}"\n[Document]\nm_nBackgroundKind = 2\n')
        exe = os.path.join(self.folder, name + ".scr")
        p = h.pack(manifest, exe)
        if p.returncode != 0:
            raise h.HarnessError(f"packing {name} failed: {p.stdout} {p.stderr}")
        saver, dialog = self.open_dialog(exe)
        click_item(dialog, WEB_ADDRESS)
        return saver, dialog

    def test_dialog_link_opens_web_addresses_and_never_a_program(self):
        # A package naming a program: shown, never started.
        program = os.path.join(self.folder, "linked.exe")
        shutil.copy(MARKER, program)
        saver, dialog = self.click_link("LinkProgram", h.winpath(program).replace("\\", "\\\\"))
        self.assertTrue(saver.stays_running(3.0))
        self.assertFalse(os.path.exists(program + ".ran"), "the link started the package's program")
        cancel(saver, dialog)
        # A "www." address goes to the web browser as http.
        saver, dialog = self.click_link("LinkWww", "www.example.org/x")
        h.wait_for(lambda: os.path.exists(self.browser + ".ran"), timeout=20, what="the registered browser")
        with open(self.browser + ".ran", encoding="latin-1") as f:
            self.assertIn('"http://www.example.org/x"', f.read())
        cancel(saver, dialog)

    def test_f2_opens_the_link_with_the_registered_browser_only(self):
        log = os.path.join(self.folder, "feed.log")
        h.park_pointer()
        saver = h.Saver("/s", exe=self.saver, extra_env={"QV_TEST_FEED_LOG": h.winpath(log)})
        self.addCleanup(saver.kill)
        h.saver_window()
        h.wait_for(lambda: 0 in boxes(read_log(log)), timeout=40, what="the box of item 0")
        h.key("F2")
        # The saver closes behind the browser.
        self.assertEqual(saver.wait(20), 0)
        ran = [self.browser + ".ran", self.planted + ".ran"]
        h.wait_for(lambda: any(os.path.exists(p) for p in ran), timeout=20, what="a browser started")
        self.assertFalse(os.path.exists(self.planted + ".ran"), "the explorer.exe beside the saver ran")
        with open(self.browser + ".ran", encoding="latin-1") as f:
            self.assertIn("http://127.0.0.1/news/1", f.read())

    def card_top(self, name):
        """Shows item 0's card, saves a screenshot and returns the card's top row at a
        column through its body (None when no card is seen)."""
        log = os.path.join(self.folder, f"{name}.log")
        if os.path.exists(log):
            os.remove(log)
        h.park_pointer()
        saver = h.Saver("/s", exe=self.saver, extra_env={"QV_TEST_FEED_LOG": h.winpath(log)})
        self.addCleanup(saver.kill)
        h.saver_window()
        h.wait_for(lambda: 0 in boxes(read_log(log)), timeout=40, what="the box of item 0")
        time.sleep(2.0)  # the slide in: 60 fast ticks
        pic = h.screenshot(save_as=h.artifact(f"{name}.png"))
        h.key("a")
        self.assertEqual(saver.wait(15), 0)
        x = h.SCREEN[0] - 200
        lit = [y for y in range(h.SCREEN[1] // 3, h.SCREEN[1]) if sum(pic.pixel(x, y)) > 60]
        return min(lit) if lit else None

    def test_card_rows_grow_with_the_fonts_at_144_dpi(self):
        top96 = self.card_top("feed-box-96dpi")
        self.addCleanup(h.set_dpi, 96)
        h.set_dpi(144)
        top144 = self.card_top("feed-box-144dpi")
        self.assertIsNotNone(top96, "no card at 96 dpi")
        self.assertIsNotNone(top144, "no card at 144 dpi")
        print(f"\nfeed card top: {top96} at 96 dpi, {top144} at 144 dpi", file=sys.stderr)
        # A short item's card is 200 pixels high at 96 dpi; at 144 dpi its title row and
        # the gaps around it grow by half (75 -> 88 pixels above the description).
        self.assertGreaterEqual(top96 - top144, 13, (top96, top144))


if __name__ == "__main__":
    h.run_tests()
