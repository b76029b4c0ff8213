#!/usr/bin/env python3
"""Runs the saver full screen under Wine for a few seconds and saves a screenshot and
what it played.

  demo.py [--saver PATH] [--display] [--seconds N] [--out PATH] [--audio PATH]

--display uses the X display in $DISPLAY (you watch it); otherwise a private Xvfb.
--audio (default build/demo/audio.wav): Wine's sound output goes to ALSA's file plugin
and is saved as a 16-bit mono 22050 Hz wave file (the format of the demo's sounds); an
empty path plays to the default device instead."""
import argparse
import os
import struct
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("QV_BUILD_DIR", os.path.join(ROOT, "build", "win64"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import qvharness as h  # noqa: E402


def save_wave(raw, path, rate=22050):
    data = open(raw, "rb").read() if os.path.exists(raw) else b""
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
                struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16) + b"data" + struct.pack("<I", len(data)) + data)
    peak = max((abs(v) for v in struct.unpack(f"<{len(data) // 2}h", data[: len(data) // 2 * 2])), default=0)
    print(f"audio: {path} ({len(data) / (2 * rate):.1f} s, peak {peak})")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--saver", default=None, help="the saver to run (default: the harness's test saver)")
    ap.add_argument("--display", action="store_true", help="use $DISPLAY instead of a private Xvfb")
    ap.add_argument("--seconds", type=float, default=5.0)
    ap.add_argument("--out", default=os.path.join(ROOT, "build", "demo", "screenshot.png"))
    ap.add_argument("--audio", default=os.path.join(ROOT, "build", "demo", "audio.wav"))
    args = ap.parse_args()

    extra = None
    raw = None
    if args.audio:
        os.makedirs(os.path.dirname(os.path.abspath(args.audio)), exist_ok=True)
        raw = os.path.abspath(args.audio) + ".raw"
        if os.path.exists(raw):
            os.remove(raw)
        conf = raw + ".conf"
        with open(conf, "w") as f:
            f.write('pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw" }\n' % raw)
        extra = {"ALSA_CONFIG_PATH": "/usr/share/alsa/alsa.conf:" + conf}

    xvfb = None
    if args.display and os.environ.get("DISPLAY"):
        h.DISPLAY_OVERRIDE = os.environ["DISPLAY"]
    else:
        h.DISPLAY_OVERRIDE, xvfb = h.start_xvfb()
    try:
        h.ensure_prefix()
        h.park_pointer()
        with h.Saver("/s", exe=args.saver, extra_env=extra) as saver:
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
        if raw:
            save_wave(raw, args.audio)
        return 0
    finally:
        if xvfb:
            h.kill_group(xvfb)


if __name__ == "__main__":
    sys.exit(main())
