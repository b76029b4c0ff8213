#!/usr/bin/env python3
"""Runs the saver full screen under Wine for a few seconds and saves a screenshot.

  demo.py [--saver PATH] [--display] [--seconds N] [--out PATH] [--feed]

--display uses the X display in $DISPLAY (you watch it); otherwise a private Xvfb.
--feed serves our sample feeds on loopback and plays the demo repacked with their
addresses, so the feed box slides in over it."""
import argparse
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("QV_BUILD_DIR", os.path.join(ROOT, "build", "win64"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import qvharness as h  # noqa: E402
from feedserver import FeedServer  # noqa: E402


def pack_with_feeds(saver, server):
    """The demo's manifest with the server's two feeds added, packed beside the demo."""
    src = os.path.join(os.path.dirname(saver), "demo-src")
    with open(os.path.join(src, "demo.toml")) as f:
        manifest = f.read()
    feeds = f'FeedAddresses = ["{server.url("news_utf8.xml")}", "{server.url("second.xml")}"]\n'
    manifest = re.sub(r"^(WebAddress = .*\n)", lambda m: m.group(1) + feeds, manifest, count=1, flags=re.M)
    path = os.path.join(src, "demo-feed.toml")
    with open(path, "w") as f:
        f.write(manifest)
    out = os.path.join(os.path.dirname(saver), "demo-feed.scr")
    pack = os.path.join(ROOT, "build", "native", "quorvex-pack")
    subprocess.run([pack, path, "--runtime", os.path.join(os.path.dirname(saver), "quorvex.scr"), "-o", out],
                   check=True, timeout=120)
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--saver", default=None, help="the saver to run (default: the harness's test saver)")
    ap.add_argument("--display", action="store_true", help="use $DISPLAY instead of a private Xvfb")
    ap.add_argument("--seconds", type=float, default=5.0)
    ap.add_argument("--out", default=os.path.join(ROOT, "build", "demo", "screenshot.png"))
    ap.add_argument("--feed", action="store_true", help="serve our sample feeds and show them")
    args = ap.parse_args()
    server = None
    if args.feed:
        server = FeedServer().start()
        args.saver = pack_with_feeds(args.saver or os.path.join(ROOT, "build", "win64", "demo.scr"), server)
        print(f"serving feeds on http://127.0.0.1:{server.port}/; saver {args.saver}")

    xvfb = None
    if args.display and os.environ.get("DISPLAY"):
        h.DISPLAY_OVERRIDE = os.environ["DISPLAY"]
    else:
        h.DISPLAY_OVERRIDE, xvfb = h.start_xvfb()
    try:
        h.ensure_prefix()
        h.park_pointer()
        with h.Saver("/s", exe=args.saver) as saver:
            window = h.saver_window(timeout=60)
            print(f"saver window: {window}")
            time.sleep(args.seconds)
            if not saver.running():
                print("the saver ended early", file=sys.stderr)
                return 1
            h.screenshot(args.out)
            print(f"screenshot: {args.out}")
            h.post(window.hwnd, 0x0010)  # WM_CLOSE: end it the way the shell does
            code = saver.wait(20)
            print(f"saver exit code: {code}")
        return 0
    finally:
        if server:
            server.stop()
        if xvfb:
            h.kill_group(xvfb)


if __name__ == "__main__":
    sys.exit(main())
