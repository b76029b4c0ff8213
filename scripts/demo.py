#!/usr/bin/env python3
"""Runs the saver full screen under Wine for a few seconds and saves a screenshot and
what it played.

  demo.py [--saver PATH] [--display] [--seconds N] [--out PATH] [--audio PATH] [--feed]

--display uses the X display in $DISPLAY (you watch it); otherwise a private Xvfb.
--audio (default build/demo/audio.wav): Wine's sound output goes to ALSA's file plugin.
Wine opens one output stream per wave device (the chime, each sprite's sounds), each
captured from its first sound on; they are saved as audio-1.wav, audio-2.wav, ... beside
the given name, as 16-bit mono 22050 Hz (the format of the demo's wave sounds), or as
32-bit float stereo 48 kHz for the media-player control's stream. An empty path plays
to the default device instead.
--feed serves our sample feeds on loopback and plays the demo repacked with their
addresses, so the feed box slides in over it."""
import argparse
import glob
import os
import re
import struct
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
os.environ.setdefault("QV_BUILD_DIR", os.path.join(ROOT, "build", "win64"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import qvharness as h  # noqa: E402
from feedserver import FeedServer  # noqa: E402


def with_feeds(manifest, server):
    """A saver manifest's text with the server's two feeds added after its web address."""
    feeds = f'FeedAddresses = ["{server.url("news_utf8.xml")}", "{server.url("second.xml")}"]\n'
    return re.sub(r"^(WebAddress = .*\n)", lambda m: m.group(1) + feeds, manifest, count=1, flags=re.M)


def pack_with_feeds(saver, server):
    """The demo's manifest with the server's two feeds added, packed beside the demo."""
    src = os.path.join(os.path.dirname(saver), "demo-src")
    with open(os.path.join(src, "demo.toml")) as f:
        manifest = with_feeds(f.read(), server)
    path = os.path.join(src, "demo-feed.toml")
    with open(path, "w") as f:
        f.write(manifest)
    out = os.path.join(os.path.dirname(saver), "demo-feed.scr")
    pack = os.path.join(ROOT, "build", "native", "quorvex-pack")
    subprocess.run([pack, path, "--runtime", os.path.join(os.path.dirname(saver), "quorvex.scr"), "-o", out],
                   check=True, timeout=120)
    return out


def is_float_stream(data):
    """The control's renderer writes 32-bit float stereo at 48 kHz; 16-bit sound read as
    floats gives values far outside -1..1."""
    floats = struct.unpack(f"<{min(len(data), 400000) // 4}f", data[: min(len(data), 400000) // 4 * 4])
    return any(floats) and all(v == v and abs(v) <= 1.0 for v in floats)


def save_wave(raw, path):
    data = open(raw, "rb").read() if os.path.exists(raw) else b""
    if is_float_stream(data):
        tag, channels, rate, bits = 3, 2, 48000, 32
    else:
        tag, channels, rate, bits = 1, 1, 22050, 16
    align = channels * bits // 8
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
                struct.pack("<IHHIIHH", 16, tag, channels, rate, rate * align, align, bits) + b"data" +
                struct.pack("<I", len(data)) + data)
    kind = "float stereo 48 kHz" if tag == 3 else "16-bit mono 22050 Hz"
    print(f"audio: {path} ({len(data) / (align * rate):.1f} s, {kind})")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--saver", default=None, help="the saver to run (default: the harness's test saver)")
    ap.add_argument("--display", action="store_true", help="use $DISPLAY instead of a private Xvfb")
    ap.add_argument("--seconds", type=float, default=5.0)
    ap.add_argument("--out", default=os.path.join(ROOT, "build", "demo", "screenshot.png"))
    ap.add_argument("--audio", default=os.path.join(ROOT, "build", "demo", "audio.wav"))
    ap.add_argument("--feed", action="store_true", help="serve our sample feeds and show them")
    args = ap.parse_args()
    server = None
    if args.feed:
        server = FeedServer().start()
        args.saver = pack_with_feeds(args.saver or os.path.join(ROOT, "build", "win64", "demo.scr"), server)
        print(f"serving feeds on http://127.0.0.1:{server.port}/; saver {args.saver}")

    extra = None
    raw = None
    if args.audio:
        os.makedirs(os.path.dirname(os.path.abspath(args.audio)), exist_ok=True)
        raw = os.path.abspath(args.audio) + ".raw"
        for old in glob.glob(raw + "*"):
            os.remove(old)
        conf = raw + ".conf"
        with open(conf, "w") as f:
            f.write('pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw"; truncate false }\n' % raw)
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
            streams = sorted(f for f in glob.glob(raw + "*") if not f.endswith(".conf") and os.path.getsize(f))
            stem = os.path.splitext(args.audio)[0]
            for i, stream in enumerate(streams, 1):
                save_wave(stream, f"{stem}-{i}.wav")
        return 0
    finally:
        if server:
            server.stop()
        if xvfb:
            h.kill_group(xvfb)


if __name__ == "__main__":
    sys.exit(main())
