#!/usr/bin/env python3
"""Runs the saver full screen under Wine for a few seconds and saves a screenshot.

  demo.py [--saver PATH] [--display] [--seconds N] [--out PATH]

--display uses the X display in $DISPLAY (you watch it); otherwise a private Xvfb."""
import argparse
import os
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("QV_BUILD_DIR", os.path.join(ROOT, "build", "win64"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import qvharness as h  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--saver", default=None, help="the saver to run (default: the harness's test saver)")
    ap.add_argument("--display", action="store_true", help="use $DISPLAY instead of a private Xvfb")
    ap.add_argument("--seconds", type=float, default=5.0)
    ap.add_argument("--out", default=os.path.join(ROOT, "build", "demo", "screenshot.png"))
    args = ap.parse_args()

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
        if xvfb:
            h.kill_group(xvfb)


if __name__ == "__main__":
    sys.exit(main())
