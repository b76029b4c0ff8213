#!/usr/bin/env python3
"""Full-screen media and the splash under Wine: a FLIC intro plays over the scene and
ends, then the sprites appear; the splash card (or the package's splash picture) sits in
the middle of the screen for SplashSeconds; NoSplash and the preview show none; a short
video made with ffmpeg plays in the video window when Wine's media engine can play it."""
import os
import shutil
import subprocess
import sys
import time
import unittest

import qvharness as h
from test_frame_rate import frame_stats
from test_scene import red_box

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from flic_writer import write_flc  # noqa: E402

NAVY = (0, 0, 128)
FACE = (0xCD, 0xD2, 0xD7)  # the card's face colour 0xD7D2CD
FLIC_W, FLIC_H, FLIC_FRAMES = 64, 32, 25  # 2 s at 80 ms a frame

HEAD = """
ScrName = "Quorvex Media Test"
RightsLine = "(c) Quorvex testers"
{splash}

[Document]
m_nDesignWidth = 1024
m_nDesignHeight = 768
m_bFastTiming = true
m_nBackgroundKind = 2
m_crBackColor = 0x800000
{media}

[[Document.Sprites]]
class = "CAnimSprite"
m_strName = "Red square"
m_nX = 100
m_nY = 60
m_bTransparent = false
m_Picture = "red.png"
m_dVx = 60
m_nMotion = 1
m_nEdgeMode = 2
"""


def flic_colour(i):
    return ((40 + 8 * i) % 256, (200 - 6 * i) % 256, (90 + 5 * i) % 256)


def make_flic(path):
    """Frame i: colour i + 1 everywhere, with a white bar moving right."""
    palette = [(0, 0, 0)] + [flic_colour(i) for i in range(254)] + [(255, 255, 255)]
    frames = []
    for i in range(FLIC_FRAMES):
        rows = bytearray([i + 1] * (FLIC_W * FLIC_H))
        for y in range(FLIC_H):
            for x in range(2 * i, 2 * i + 2):
                rows[y * FLIC_W + x] = 255
        frames.append(bytes(rows))
    write_flc(path, FLIC_W, FLIC_H, frames, [palette] + [None] * (FLIC_FRAMES - 1))


def make_truncated_flic(path, frames=8):
    """A FLIC whose header promises 65,535 frames (87 minutes) but holds only a few."""
    write_flc(path, FLIC_W, FLIC_H, [bytes([i + 1] * (FLIC_W * FLIC_H)) for i in range(frames)],
              [[(0, 0, 0)] + [flic_colour(i) for i in range(255)]] + [None] * (frames - 1))
    with open(path, "r+b") as f:
        f.seek(6)
        f.write((65535).to_bytes(2, "little"))


def close_to(a, b, tolerance=8):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def media_windows(cls="QvFullScreenMedia", visible_only=True):
    return h.find_windows(cls, visible_only=visible_only)


class Media(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = os.path.join(h.STATE, "media")
        os.makedirs(cls.folder, exist_ok=True)
        h.Picture(40, 40, bytes((255, 0, 0)) * 1600).save_png(os.path.join(cls.folder, "red.png"))
        h.Picture(400, 300, bytes((0, 160, 0)) * 120000).save_png(os.path.join(cls.folder, "splash.png"))
        make_flic(os.path.join(cls.folder, "intro.flc"))

    def saver(self, name, splash, media):
        manifest = os.path.join(self.folder, name + ".toml")
        with open(manifest, "w") as f:
            f.write(HEAD.format(splash=splash, media=media))
        exe = os.path.join(self.folder, name + ".scr")
        p = h.pack(manifest, exe)
        if p.returncode != 0:
            raise h.HarnessError(f"packing failed: {p.stdout} {p.stderr}")
        return exe

    def start(self, exe):
        h.park_pointer()
        saver = h.Saver("/s", exe=exe)
        self.addCleanup(saver.kill)
        h.saver_window()
        return saver

    def test_flic_intro_plays_once_then_the_sprites_appear(self):
        exe = self.saver("flic", "NoSplash = true",
                         'm_MediaFile = "intro.flc"\nm_nMediaFit = 0\nm_bMediaPlayOnce = true')
        started = time.time()
        saver = self.start(exe)
        window = h.wait_for(media_windows, 10, what="the animation window")[0]
        # 64 x 32 fitted into 1024 x 768: full width, 128-pixel bands.
        self.assertEqual(window.rect, (0, 128, 1024, 640))
        self.assertTrue(window.style & h.WS_POPUP)
        first = h.screenshot(h.artifact("flic-1.png"))
        time.sleep(0.4)
        second = h.screenshot(h.artifact("flic-2.png"))
        for pic in (first, second):
            self.assertEqual(pic.pixel(900, 100), NAVY)  # the scene shows in the bands
            self.assertIsNone(red_box(pic), "sprites shown while the intro plays")
        a, b = first.pixel(900, 384), second.pixel(900, 384)
        self.assertNotEqual(a, b, "the animation did not advance")
        self.assertTrue(any(close_to(a, flic_colour(i)) for i in range(FLIC_FRAMES)), a)
        # The play-once intro ends (2 s), its window goes, and 1.5 s later the sprites.
        h.wait_for(lambda: not media_windows(), 15, what="the animation window to close")
        box = h.wait_for(lambda: red_box(h.screenshot()), 10, what="the sprites")
        self.assertGreater(time.time() - started, 2.0)
        self.assertTrue(box)
        h.screenshot(h.artifact("flic-3.png"))
        self.assertTrue(saver.running())
        h.key("a")
        self.assertEqual(saver.wait(10), 0)

    def test_truncated_play_once_flic_ends_where_its_frames_run_out(self):
        make_truncated_flic(os.path.join(self.folder, "short.flc"))
        exe = self.saver("short", "NoSplash = true",
                         'm_MediaFile = "short.flc"\nm_nMediaFit = 0\nm_bMediaPlayOnce = true')
        saver = self.start(exe)
        h.wait_for(media_windows, 10, what="the animation window")
        shown = time.time()
        # 8 frames at 80 ms, then the intro's 1.5 s pause: well within 15 s.
        h.wait_for(lambda: not media_windows(), 15, what="the truncated animation to end")
        print(f"\ntruncated intro closed {time.time() - shown:.1f} s after its window was seen", file=sys.stderr)
        first = h.wait_for(lambda: red_box(h.screenshot()), 10, what="the sprites")
        time.sleep(0.5)
        second = red_box(h.screenshot(h.artifact("short-flic-after.png")))
        self.assertNotEqual(first, second, "the sprites do not move")
        h.key("a")
        self.assertEqual(saver.wait(10), 0)

    def test_media_windows_whose_platform_calls_fail_and_the_animation_teardown(self):
        tool = os.path.join(h.BUILD, "qvmedia.exe")
        flic = os.path.join(self.folder, "intro.flc")
        # A window that cannot play is not made: the scene treats it as a failed medium.
        p = h.wine([tool, "timer-fails", h.winpath(flic)], timeout=60)
        self.assertEqual(p.stdout.split(), ["loop=0", "create=0", "loop=1", "create=0"], p.stderr[-300:])
        p = h.wine([tool, "child-fails"], timeout=60)
        self.assertEqual(p.stdout.split(), ["create=0", "failed=1", "ended=1"], p.stderr[-300:])
        # A tick being handled while the window goes: destruction waits for it, and none
        # comes after. (Wine's timer waits whatever the flags say; Windows only when the
        # timer was started to be killed synchronously.)
        p = h.wine([tool, "teardown", h.winpath(flic)], timeout=60)
        fields = dict(f.split("=") for f in p.stdout.split())
        self.assertEqual(p.returncode, 0, p.stdout + p.stderr[-300:])
        self.assertGreater(int(fields["ticks"]), 3)
        self.assertEqual(fields["in-flight-after-teardown"], "0")
        self.assertEqual(fields["ticks-after-teardown"], "0")
        self.assertEqual(fields["kill-synchronous"], "1")

    def test_splash_card_then_looping_flic_beside_the_sprites(self):
        # Six seconds: the card's checks below must all fall inside the splash on a busy machine.
        exe = self.saver("card", "NoSplash = false\nSplashSeconds = 6",
                         'm_MediaFile = "intro.flc"\nm_nMediaFit = 1\nm_nMediaSizeBase = 0\n'
                         "m_nMediaCentreX = 75\nm_nMediaCentreY = 75\nm_nMediaSizeX = 200\nm_nMediaSizeY = 200")
        saver = self.start(exe)
        card = h.wait_for_window("QvSplash", timeout=10)
        # The media window before the card: the run closes the card before it starts the media,
        # so a media window seen while the card is still there started during the splash.
        early_media = media_windows()
        self.assertFalse(early_media and h.find_windows("QvSplash"), "the media started during the splash")
        self.assertEqual(card.rect, (337, 351, 687, 416))
        self.assertTrue(card.exstyle & h.WS_EX_TOPMOST)
        pic = h.screenshot(h.artifact("splash-card.png"))
        self.assertEqual(pic.pixel(337, 383), (0, 0, 0))        # outer frame
        self.assertEqual(pic.pixel(338, 383), (255, 255, 255))  # inner frame
        self.assertEqual(pic.pixel(341, 360), FACE)
        self.assertEqual(pic.pixel(684, 410), FACE)
        dark = sum(1 for x in range(350, 680) for y in range(356, 412) if sum(pic.pixel(x, y)) < 300)
        self.assertGreater(dark, 100, "no text on the card")
        self.assertTrue(h.find_windows("QvSplash"), "the card went before its checks ended")
        # After the splash: the looping animation at 75 % / 75 %, 128 x 64, and the sprites.
        h.wait_for(lambda: not h.find_windows("QvSplash"), 10, what="the splash to end")
        window = h.wait_for(media_windows, 10, what="the animation window")[0]
        self.assertEqual(window.rect, (768 - 64, 576 - 32, 768 + 64, 576 + 32))
        h.wait_for(lambda: red_box(h.screenshot()), 5, what="the sprites beside the animation")
        time.sleep(2.5)  # past the animation's 2 s: it loops and stays
        self.assertTrue(media_windows())
        h.screenshot(h.artifact("splash-after.png"))
        h.click(1)
        self.assertEqual(saver.wait(10), 0)

    def test_splash_picture_sets_the_window_size_and_nosplash_shows_none(self):
        exe = self.saver("picture", 'NoSplash = false\nSplashSeconds = 2\nSplashPicture = "splash.png"', "")
        saver = self.start(exe)
        card = h.wait_for_window("QvSplash", timeout=10)
        self.assertEqual(card.rect, (312, 234, 712, 534))
        pic = h.screenshot(h.artifact("splash-picture.png"))
        self.assertEqual(pic.pixel(512, 384), (0, 160, 0))
        h.key("a")
        self.assertEqual(saver.wait(10), 0)

        exe = self.saver("nosplash", "NoSplash = true\nSplashSeconds = 2", "")
        saver = self.start(exe)
        h.wait_for(lambda: red_box(h.screenshot()), 5, what="the sprites")
        self.assertFalse(h.find_windows("QvSplash", visible_only=False))
        h.key("a")
        self.assertEqual(saver.wait(10), 0)

    def test_preview_never_shows_the_splash(self):
        exe = self.saver("preview", "NoSplash = false\nSplashSeconds = 2", "")
        host = h.PreviewHost(saver=exe)
        self.addCleanup(host.kill)
        h.wait_for_window("WindowsScreenSaverClass", "Preview", parent=host.area)
        time.sleep(1.0)
        self.assertFalse(h.find_windows("QvSplash", visible_only=False))
        self.assertIn("saver-exit=0", host.close())

    def video_tools(self):
        ffmpeg = shutil.which("ffmpeg")
        if not ffmpeg:
            self.skipTest("ffmpeg is not installed")
        if subprocess.run(["dpkg-query", "-W", "gstreamer1.0-plugins-good"], capture_output=True).returncode:
            self.skipTest("Wine's media engine needs the GStreamer plugins")
        return ffmpeg

    def test_video_shows_its_picture_between_black_bands(self):
        ffmpeg = self.video_tools()
        video = os.path.join(self.folder, "halves.mp4")
        if not os.path.exists(video):
            # 320 x 180: a red top half and a blue bottom half, 4 s.
            subprocess.run([ffmpeg, "-v", "error", "-y", "-f", "lavfi", "-i",
                            "color=c=red:s=320x180:r=25:d=4,drawbox=x=0:y=90:w=320:h=90:color=blue:t=fill",
                            "-pix_fmt", "yuv420p", "-c:v", "libx264", video], check=True, timeout=120)
        exe = self.saver("video", "NoSplash = true",
                         'm_MediaFile = "halves.mp4"\nm_nMediaFit = 0\nm_bMediaPlayOnce = true')
        saver = self.start(exe)
        window = h.wait_for(media_windows, 15, what="the video window")[0]
        self.assertEqual(window.rect, (0, 0, 1024, 768))
        # 320 x 180 in 1024 x 768: 1024 x 576 with 96-pixel bands. The child keeps the
        # layout; the player draws into the pop-up over it.
        picture = (0, 96, 1024, 672)
        h.wait_for(lambda: [c for c in h.find_windows("QvVideoChild", parent=window.hwnd) if c.rect == picture],
                   10, what="the video laid out")
        surface = h.wait_for(lambda: [w for w in h.find_windows("QvVideoSurface") if w.rect == picture], 10,
                             what="the video surface over the child")[0]
        self.assertTrue(surface.style & h.WS_POPUP)
        self.assertTrue(surface.exstyle & 0x08000000, "the surface can be activated")  # WS_EX_NOACTIVATE

        def halves():
            pic = h.screenshot()
            return pic if close_to(pic.pixel(512, 200), (255, 0, 0), 60) else None
        pic = h.wait_for(halves, 10, what="the red top half on the screen")
        h.screenshot(h.artifact("video.png"))
        self.assertTrue(close_to(pic.pixel(100, 600), (0, 0, 255), 60), pic.pixel(100, 600))
        for y in (20, 740):
            self.assertEqual(pic.pixel(512, y), (0, 0, 0), f"band at y={y}")
        # Judged by what is shown: after playback Wine's process may crash on its way out
        # and linger in the crash handler, so the windows going is what counts.
        h.key("a")
        h.wait_for(lambda: not saver.running() or not h.find_windows("WindowsScreenSaverClass"), 15,
                   what="the saver to close after a key")
        saver.kill()

        # In a preview the window is placed as an animation's is: 640 x 360 of the
        # 640 x 480 scene, scaled into the 152 x 112 preview.
        host = h.PreviewHost(saver=exe)
        self.addCleanup(host.kill)
        media = h.wait_for(lambda: h.find_windows("QvFullScreenMedia", parent=host.area), 15,
                           what="the video window in the preview")[0]
        self.assertEqual(media.size, (152, 84))
        host.close()

    def test_frame_pacing_with_a_looping_flic_beside_the_sprites(self):
        exe = self.saver("pacing", "NoSplash = true", 'm_MediaFile = "intro.flc"\nm_nMediaFit = 2')
        times = os.path.join(self.folder, "pacing-times.txt")
        h.park_pointer()
        saver = h.Saver("/s", exe=exe, extra_env={"QV_TEST_FRAME_TIMES": h.winpath(times)})
        self.addCleanup(saver.kill)
        h.saver_window()
        window = h.wait_for(media_windows, 10, what="the animation window")[0]
        # Fill: 64 x 32 at the full height, 1536 x 768, centred and cut at the sides.
        self.assertEqual(window.rect, (-256, 0, 1280, 768))
        time.sleep(5)
        self.assertTrue(saver.running())
        h.key("a")
        self.assertEqual(saver.wait(10), 0)
        stats = frame_stats(h.read_frame_times(times)[0])
        print(f"\nframe pacing with a FLIC playing: {stats}", file=sys.stderr)
        self.assertLess(stats["median_ms"], 20.0)

    def test_audio_only_mp4_fails_and_the_saver_carries_on(self):
        ffmpeg = shutil.which("ffmpeg")
        if not ffmpeg:
            self.skipTest("ffmpeg is not installed")
        sound = os.path.join(self.folder, "sound.mp4")
        if not os.path.exists(sound):
            subprocess.run([ffmpeg, "-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=3",
                            "-c:a", "aac", sound], check=True, timeout=120)
        # No frame size: no window is left, and the sprites come at once; a looping
        # video that fails covers nothing either.
        for once in ("true", "false"):
            exe = self.saver("sound-" + once, "NoSplash = true",
                             f'm_MediaFile = "sound.mp4"\nm_nMediaFit = 0\nm_bMediaPlayOnce = {once}')
            saver = self.start(exe)
            h.wait_for(lambda: red_box(h.screenshot()), 10, what="the sprites after a failed video")
            time.sleep(1.0)
            self.assertFalse(media_windows(visible_only=False), once)
            self.assertEqual(h.screenshot().pixel(900, 700), NAVY, once)
            self.assertTrue(saver.running())
            h.key("a")
            saver.wait(10)

if __name__ == "__main__":
    h.run_tests()
