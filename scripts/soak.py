#!/usr/bin/env python3
"""Soak run: the demo saver, with its sounds and with news feeds served on loopback,
plays full screen under Wine for N minutes. The runtime appends what the process holds
to a file every 30 seconds (QV_TEST_RESOURCES: private memory, handles, GDI and USER
objects); the series is printed, and the run fails when a figure grows beyond its noise
bound between the end of the first minute and the end of the run.

  soak.py [--minutes N] [--shared-display]

--shared-display runs on the end-to-end tests' display and prefix (their setup must have
run); otherwise a private Xvfb and a prefix of its own under the build folder.

Noise bounds, from the end of the first minute (the feed fetched, the sound devices open,
the first feed boxes made) to the last sample: private memory grows by at most 4 MiB plus
2 %, handles by at most 16, GDI and USER objects by at most 16 each. A leak of one
handle, object or 16 KiB per feed item (one every ~10 s) crosses them within 20 minutes."""
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
from demo import with_feeds  # noqa: E402
from feedserver import FeedServer  # noqa: E402

SAMPLE_SECONDS = 30
SETTLE_MS = 60000
BOUNDS = {"private": lambda base: 4 * 1024 * 1024 + base // 50, "handles": lambda _: 16,
          "gdi": lambda _: 16, "user": lambda _: 16}
LINE = re.compile(r"(\d+) private=(\d+) handles=(\d+) gdi=(\d+) user=(\d+)")


def read_samples(path):
    samples = []
    if os.path.exists(path):
        with open(path) as f:
            for line in f:
                m = LINE.match(line.strip())
                if m:
                    ms, private, handles, gdi, user = map(int, m.groups())
                    samples.append({"ms": ms, "private": private, "handles": handles, "gdi": gdi, "user": user})
    return samples


def judge(samples):
    """The figures that grew beyond their bounds after the first minute, as text lines;
    empty when none did (or when too few samples were taken to judge)."""
    settled = [s for s in samples if s["ms"] >= SETTLE_MS]
    if len(settled) < 2:
        return [f"only {len(settled)} samples after the first minute"]
    base, last = settled[0], settled[-1]
    return [f"{key} grew by {last[key] - base[key]} (bound {bound(base[key])}) from {base['ms'] / 1000:.0f} s "
            f"to {last['ms'] / 1000:.0f} s" for key, bound in BOUNDS.items() if last[key] - base[key] > bound(base[key])]


def resident_mib(pid):
    """The Linux process's resident memory, for the record beside the runtime's figures."""
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return f"{int(line.split()[1]) / 1024:.1f} MiB"
    except OSError:
        pass
    return "?"


def pack_demo_with_feeds(folder, server):
    subprocess.run([sys.executable, os.path.join(h.DEMO, "make_media.py"), os.path.join(folder, "media")],
                   check=True, timeout=120)
    with open(os.path.join(h.DEMO, "demo.toml")) as f:
        manifest = with_feeds(f.read(), server)
    path = os.path.join(folder, "soak.toml")
    with open(path, "w") as f:
        f.write(manifest)
    saver = os.path.join(folder, "soak.scr")
    p = h.pack(path, saver)
    if p.returncode != 0:
        raise h.HarnessError(f"packing the soak saver failed: {p.stdout} {p.stderr}")
    return saver


def soak(minutes, out=print):
    """Runs the soak on the harness's current display and prefix; returns (samples,
    problems, exit code)."""
    folder = h.fresh_folder("soak")
    server = FeedServer().start()
    try:
        saver_path = pack_demo_with_feeds(folder, server)
        # The feed and the sound switched on for this saver, whatever an earlier run left.
        h.reg_delete(r"HKCU\SOFTWARE\Quorvex\Compiled ScreenSaver\Quorvex Demo")
        resources = os.path.join(folder, "resources.txt")
        conf = os.path.join(folder, "alsa.conf")
        with open(conf, "w") as f:  # the sound devices open and play into nothing
            f.write('pcm.!default { type file; slave.pcm "null"; file "/dev/null"; format "raw" }\n')
        extra = {"QV_TEST_RESOURCES": h.winpath(resources), "ALSA_CONFIG_PATH": "/usr/share/alsa/alsa.conf:" + conf}
        h.park_pointer()
        with h.Saver("/s", exe=saver_path, extra_env=extra) as saver:
            h.saver_window(timeout=60)
            end = time.time() + minutes * 60 + 5  # the last sample is due at N minutes
            shown = 0
            while time.time() < end:
                time.sleep(min(5, max(0.1, end - time.time())))
                if not saver.running():
                    raise h.HarnessError("the saver ended during the soak")
                samples = read_samples(resources)
                for s in samples[shown:]:
                    out(f"{s['ms'] / 1000:6.0f} s  private {s['private'] / 1048576:8.2f} MiB  handles {s['handles']:5d}"
                        f"  gdi {s['gdi']:5d}  user {s['user']:5d}  (resident {resident_mib(saver.proc.pid)})")
                shown = len(samples)
            h.key("a")
            code = saver.wait(30)
        fed = sum(1 for entry in server.log if entry[0].endswith(".xml"))
        out(f"feed requests served: {fed}; saver exit code {code}")
        samples = read_samples(resources)
        return samples, judge(samples), code
    finally:
        server.stop()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--minutes", type=float, default=20)
    ap.add_argument("--shared-display", action="store_true")
    args = ap.parse_args()
    if args.shared_display:
        samples, problems, _ = soak(args.minutes)
    else:
        disp, xvfb = h.start_xvfb()
        prefix = os.path.join(h.BUILD, "soak-prefix")
        try:
            with h.session(disp, prefix):
                h.wine(["cmd", "/c", "exit"], timeout=120)
                samples, problems, _ = soak(args.minutes)
        finally:
            h.stop_x_server(xvfb, disp)
    for p in problems:
        print(f"SOAK FAILED: {p}", file=sys.stderr)
    if not problems:
        print(f"soak passed: {len(samples)} samples, no growth beyond the bounds")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
