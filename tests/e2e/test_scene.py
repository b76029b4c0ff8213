#!/usr/bin/env python3
"""The scene under Wine: the document's background fills the screen, a sprite appears
and moves, and the preview shows the same scene scaled into its small window."""
import os
import time
import unittest

import qvharness as h

NAVY = (0, 0, 128)
RED = (255, 0, 0)

MANIFEST = """
ScrName = "Quorvex Scene Test"
NoSplash = true

[Document]
m_nDesignWidth = 1024
m_nDesignHeight = 768
m_bFastTiming = true
m_nBackgroundKind = 2
m_crBackColor = 0x800000

[[Document.Sprites]]
class = "CAnimSprite"
m_strName = "Red square"
m_nX = 100
m_nY = 300
m_bTransparent = false
m_Picture = "red.png"
m_dVx = 100
m_nMotion = 1
m_nEdgeMode = 2
"""


def red_box(pic, left=0, top=0, right=None, bottom=None):
    """Bounding box of the pure red pixels in a region, or None."""
    right = pic.width if right is None else right
    bottom = pic.height if bottom is None else bottom
    xs, ys = [], []
    for y in range(top, bottom, 2):
        for x in range(left, right, 2):
            r, g, b = pic.pixel(x, y)
            if r > 200 and g < 60 and b < 60:
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs), max(ys)) if xs else None


class Scene(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        folder = os.path.join(h.STATE, "scene")
        os.makedirs(folder, exist_ok=True)
        h.Picture(40, 40, bytes(RED) * 1600).save_png(os.path.join(folder, "red.png"))
        manifest = os.path.join(folder, "scene.toml")
        with open(manifest, "w") as f:
            f.write(MANIFEST)
        cls.saver = os.path.join(folder, "scene.scr")
        p = h.pack(manifest, cls.saver)
        if p.returncode != 0:
            raise h.HarnessError(f"packing failed: {p.stdout} {p.stderr}")

    def test_full_screen_scene_moves_its_sprite(self):
        h.park_pointer()
        saver = h.Saver("/s", exe=self.saver)
        self.addCleanup(saver.kill)
        h.saver_window()
        time.sleep(1.5)
        first = h.screenshot(h.artifact("scene-1.png"))
        self.assertEqual(first.pixel(900, 100), NAVY)
        box1 = red_box(first)
        self.assertIsNotNone(box1, "no sprite on the screen")
        self.assertAlmostEqual(box1[3] - box1[1], 38, delta=2)  # 40 pixels high
        time.sleep(1.0)
        second = h.screenshot(h.artifact("scene-2.png"))
        box2 = red_box(second)
        self.assertIsNotNone(box2)
        self.assertGreater(box2[0] - box1[0], 30, "the sprite did not move right")
        self.assertEqual(box2[1], box1[1])  # straight along the row
        self.assertTrue(saver.running())
        h.key("a")
        self.assertEqual(saver.wait(10), 0)

    def test_demo_saver_moves_its_sprites_over_the_gradient(self):
        demo = os.path.join(h.BUILD, "demo.scr")
        if not os.path.exists(demo):
            self.skipTest("demo.scr is built with the native author tools")
        h.park_pointer()
        saver = h.Saver("/s", exe=demo)
        self.addCleanup(saver.kill)
        h.saver_window()
        time.sleep(1.5)
        first = h.screenshot(h.artifact("demo-1.png"))
        time.sleep(1.0)
        second = h.screenshot(h.artifact("demo-2.png"))
        # The gradient: dark at the top, light in the middle, dark again at the bottom.
        top, middle = first.pixel(1000, 2), first.pixel(1000, 384)
        self.assertLess(sum(top), sum(middle))
        self.assertGreater(middle[2], middle[0])  # a blue sky
        changed = sum(1 for i in range(0, len(first.rgb), 3) if first.rgb[i:i + 3] != second.rgb[i:i + 3])
        share = changed / (first.width * first.height)
        # Sprites moved, and only they: the background stays where it was.
        self.assertGreater(share, 0.002)
        self.assertLess(share, 0.15)
        self.assertTrue(saver.running())
        h.click(1)
        self.assertEqual(saver.wait(10), 0)

    def test_preview_runs_the_scene_until_its_parent_goes(self):
        # Wine does not show what a process draws into another process's child window,
        # so the preview's pixels are checked by the renderer's tests, not here.
        diag = os.path.join(h.STATE, "scene", "preview-diag.txt")
        if os.path.exists(diag):
            os.remove(diag)
        host = h.PreviewHost(saver=self.saver, extra_env={"QV_TEST_DIAGNOSTIC_FILE": h.winpath(diag)})
        self.addCleanup(host.kill)
        child = h.wait_for_window("WindowsScreenSaverClass", "Preview", parent=host.area)
        self.assertEqual(child.size, (152, 112))
        self.assertEqual(child.pid, host.saver_pid)
        time.sleep(1.5)
        self.assertIsNone(host.proc.poll())
        # The saver is still there, with the scene's document loaded in preview mode.
        self.assertEqual([w.pid for w in h.find_windows("WindowsScreenSaverClass", "Preview", parent=host.area)],
                         [host.saver_pid])
        values = h.read_diagnostic(diag)
        self.assertEqual((values.get("DocumentSprites"), values.get("NoSplash"), values.get("FixedPreview")),
                         ("1", "1", "0"), values)
        self.assertIn("saver-exit=0", host.close())


if __name__ == "__main__":
    h.run_tests()
