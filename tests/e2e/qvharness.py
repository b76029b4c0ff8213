#!/usr/bin/env python3
"""End-to-end harness: runs the real saver under wine64 on a private Xvfb display.

Used two ways:
  qvharness.py setup | cleanup     start or stop the shared display and Wine prefix
  qvharness.py run <exe> [args]    run a Windows console program in the prefix
and imported by the test scripts for the helpers below. Every step has a time limit.

The setup writes the display number into <build>/e2e/display; tests read it from there,
so one Xvfb and one wineserver serve the whole test run.
"""
import contextlib
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

BUILD = os.environ.get("QV_BUILD_DIR") or os.path.join(os.path.dirname(__file__), "../../build/win64")
BUILD = os.path.abspath(BUILD)
WINE64 = os.environ.get("QV_WINE64") or shutil.which("wine64") or "/usr/lib/wine/wine64"
STATE = os.path.join(BUILD, "e2e")
PREFIX = os.path.join(BUILD, "wineprefix")
# The bare runtime carries no package and only reports that; the tests run a saver
# packed from a committed manifest with the Windows build of quorvex-pack.
BARE_SAVER = os.path.join(BUILD, "quorvex.scr")
SAVER = os.path.join(STATE, "saver.scr")
SAVER_MANIFEST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data", "saver.toml")
PACK = os.path.join(BUILD, "quorvex-pack.exe")
INFO = os.path.join(BUILD, "quorvex-info.exe")
QVWIN = os.path.join(BUILD, "qvwin.exe")
PREVIEW_HOST = os.path.join(BUILD, "qvpreviewhost.exe")
SCREEN = (1024, 768)

WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_EX_TOPMOST = 0x00000008
WS_EX_TOOLWINDOW = 0x00000080


class HarnessError(Exception):
    """A test could not go on: a wait on the saver timed out, a run or a pack failed."""


class DriveError(HarnessError):
    """The harness could not drive Wine or the display: a Wine program that did not start
    or answer, a window list Wine did not give, a screenshot or an input that failed.
    Nothing here is the saver's doing, so only this kind of error runs a test again."""


def wineserver():
    for path in ("/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver", shutil.which("wineserver")):
        if path and os.path.exists(path):
            return path
    raise HarnessError("wineserver not found")


# Set by programs that bring their own display (the demo); tests use the shared one.
DISPLAY_OVERRIDE = None


def display():
    if DISPLAY_OVERRIDE:
        return DISPLAY_OVERRIDE
    try:
        with open(os.path.join(STATE, "display")) as f:
            return f.read().strip()
    except OSError:
        return os.environ.get("DISPLAY", "")


def env(extra=None):
    e = dict(os.environ)
    e.update(WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEARCH="win64",
             WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=display())
    if extra:
        e.update(extra)
    return e


def signed32(code):
    """Wine hands the Windows exit code to Linux as 8 bits; -1 arrives as 255."""
    return code - 256 if code is not None and code > 127 else code


def run(argv, timeout=60, check=False, **kw):
    """Runs a command to completion within timeout; returns CompletedProcess.

    Output goes through temporary files, not pipes: Wine leaves service processes behind
    that inherit the handles, and a pipe would never report its end."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            proc = subprocess.Popen(argv, env=kw.pop("env", env()), stdout=out, stderr=err,
                                    stdin=subprocess.DEVNULL, start_new_session=True, **kw)
        except OSError as exc:
            raise DriveError(f"could not start {argv}: {exc}") from exc
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired as exc:
            kill_group(proc)
            raise DriveError(f"timed out after {timeout}s: {argv}") from exc
        out.seek(0)
        err.seek(0)
        p = subprocess.CompletedProcess(argv, code, out.read().decode(errors="replace"),
                                        err.read().decode(errors="replace"))
    if check and p.returncode != 0:
        raise DriveError(f"{argv} failed ({p.returncode}): {p.stderr.strip()[-500:]}")
    return p


def kill_group(proc):
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except OSError:
            pass
        proc.wait(timeout=10)


def wine(args, timeout=60, check=False):
    args = list(args)
    p = run([WINE64] + args, timeout=timeout, check=check and args[:1] != [QVWIN])
    # Our inspector answers 0 (done), 1 (no such window or item) or 2 (usage). Anything
    # else means Wine did not get it running (a loaded machine now and then fails a
    # start); a query is side-effect free, so it is asked again.
    for _ in range(2):
        if args[:1] != [QVWIN] or p.returncode in (0, 1, 2):
            break
        time.sleep(0.5)
        p = run([WINE64] + args, timeout=timeout)
    if check and p.returncode != 0:
        raise DriveError(f"{args} failed ({p.returncode}): {p.stderr.strip()[-500:]}")
    return p


# --- Display and prefix --------------------------------------------------------------

def start_xvfb(screens=("1024x768x24",), xinerama=False):
    """Starts Xvfb on a free display; returns (display, Popen)."""
    for n in range(100, 200):
        if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
            continue
        # A white root window: whatever the saver covers turns visibly black.
        argv = ["Xvfb", f":{n}", "-nolisten", "tcp", "-wr"]
        if xinerama:
            argv.append("+xinerama")
        for i, geometry in enumerate(screens):
            argv += ["-screen", str(i), geometry]
        proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        deadline = time.time() + 15
        while time.time() < deadline:
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                return f":{n}", proc
            if proc.poll() is not None:
                break
            time.sleep(0.1)
        proc.kill()
    raise DriveError("could not start Xvfb")


# Xvfb puts every Xinerama head at (0, 0) and Wine takes its monitors from RandR outputs,
# so several monitors side by side need Xorg's dummy driver, which has sixteen outputs.
XORG_DUMMY_CONFIG = """\
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
  Modeline "1024x768" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768"
  EndSubSection
EndSection
"""


def xorg_dummy_missing():
    """Why this machine cannot run the dummy-driver display, or None when it can."""
    if not shutil.which("Xorg"):
        return "Xorg is not installed (xserver-xorg-core)"
    if not os.path.exists("/usr/lib/xorg/modules/drivers/dummy_drv.so"):
        return "Xorg's dummy driver is not installed (xserver-xorg-video-dummy)"
    if not shutil.which("xrandr") or not shutil.which("xsetroot"):
        return "xrandr and xsetroot are not installed (x11-xserver-utils)"
    if os.geteuid() != 0:
        return "Xorg without a console starts only for root here"
    return None


def start_xorg_dummy(positions):
    """Starts Xorg with the dummy driver on a free display with one 1024 x 768 monitor (the
    size of SCREEN) at each X position in `positions`, the first the primary, and a white
    root window; returns (display, Popen)."""
    os.makedirs(STATE, exist_ok=True)
    config = os.path.join(STATE, "xorg-dummy.conf")
    with open(config, "w") as f:
        f.write(XORG_DUMMY_CONFIG)
    mode = "1024x768"
    free = [n for n in range(200, 300)
            if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}")]
    for n in free[:3]:  # another server may take a number first; more failures are no race
        proc = subprocess.Popen(["Xorg", f":{n}", "-noreset", "-nolisten", "tcp", "-config", config,
                                 "-logfile", os.path.join(STATE, f"xorg-{n}.log")],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        deadline = time.time() + 20
        while time.time() < deadline and proc.poll() is None and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            time.sleep(0.1)
        if proc.poll() is not None or not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            stop_x_server(proc, f":{n}")
            continue
        xenv = dict(os.environ, DISPLAY=f":{n}")
        layout = ["xrandr"]
        try:
            for i, (x, y) in enumerate(positions):
                if i:
                    run(["xrandr", "--addmode", f"DUMMY{i}", mode], timeout=20, env=xenv, check=True)
                layout += ["--output", f"DUMMY{i}", "--mode", mode, "--pos", f"{x}x{y}"]
                layout += ["--primary"] if i == 0 else []
            run(layout, timeout=20, env=xenv, check=True)
            # The driver reports a newly lit output as connected only from the next probe
            # of the outputs on; Wine reads the last probe's state and would see one monitor.
            run(["xrandr", "--query"], timeout=20, env=xenv, check=True)
            run(["xsetroot", "-solid", "white"], timeout=20, env=xenv, check=True)
        except HarnessError:
            stop_x_server(proc, f":{n}")
            raise
        return f":{n}", proc
    raise DriveError(f"could not start Xorg with the dummy driver (logs: {STATE}/xorg-*.log)")


def stop_x_server(proc, disp):
    """Ends an X server started here. A terminated server removes its lock and socket; one
    that has to be killed leaves them, and they would hold its display number."""
    if proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)
        proc.wait(timeout=10)
        return
    except (OSError, subprocess.TimeoutExpired):
        kill_group(proc)
    n = disp.lstrip(":")
    for path in (f"/tmp/.X{n}-lock", f"/tmp/.X11-unix/X{n}"):
        with contextlib.suppress(OSError):
            os.remove(path)


@contextlib.contextmanager
def session(disp, prefix):
    """Points every Wine call of the harness at another display and another prefix (one
    wineserver serves one display) until the block ends, then stops that wineserver."""
    global DISPLAY_OVERRIDE, PREFIX
    saved = DISPLAY_OVERRIDE, PREFIX
    DISPLAY_OVERRIDE, PREFIX = disp, prefix
    try:
        ensure_prefix()
        yield
    finally:
        try:
            subprocess.run([wineserver(), "-k"], env=env(), timeout=30, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            pass
        DISPLAY_OVERRIDE, PREFIX = saved


def setup():
    os.makedirs(STATE, exist_ok=True)
    cleanup(quiet=True)
    disp, proc = start_xvfb()
    with open(os.path.join(STATE, "display"), "w") as f:
        f.write(disp)
    with open(os.path.join(STATE, "xvfb.pid"), "w") as f:
        f.write(str(proc.pid))
    t0 = time.time()
    ensure_prefix()
    # Keep one wineserver for the whole run: every later Wine start is then quick.
    subprocess.Popen([wineserver(), "-p"], env=env(), start_new_session=True, stdin=subprocess.DEVNULL,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wine(["cmd", "/c", "exit"], timeout=120)
    ensure_packed_saver(rebuild=True)
    with open(os.path.join(STATE, "wine-start-seconds"), "w") as f:
        f.write(f"{time.time() - t0:.1f}\n")
    print(f"display {disp}, Wine ready in {time.time() - t0:.1f}s")


def ensure_prefix():
    """Creates the private Wine prefix on first use (10 to 20 seconds)."""
    if not os.path.exists(os.path.join(PREFIX, "system.reg")):
        wine(["wineboot", "-i"], timeout=240)


def winpath(path):
    """A Linux path as Wine's programs see it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pack(manifest, output, runtime=None):
    """Packs a saver with quorvex-pack.exe; returns the CompletedProcess."""
    return wine([PACK, "--runtime", winpath(runtime or BARE_SAVER), "-o", winpath(output), winpath(manifest)],
                timeout=60)


def fresh_folder(name):
    """An empty folder <state>/<name> (whatever an earlier run left there is removed)."""
    folder = os.path.join(STATE, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def pack_text(name, manifest_text):
    """Packs a saver from manifest text into <state>/<name>/<name>.scr; returns its path."""
    folder = os.path.join(STATE, name)
    os.makedirs(folder, exist_ok=True)
    manifest = os.path.join(folder, name + ".toml")
    with open(manifest, "w") as f:
        f.write(manifest_text)
    saver = os.path.join(folder, name + ".scr")
    p = pack(manifest, saver)
    if p.returncode != 0:
        raise HarnessError(f"packing {name} failed: {p.stdout} {p.stderr}")
    return saver


DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "demo")


def pack_demo(folder):
    """Packs the demo saver in folder (its media made in folder/media); returns its path."""
    subprocess.run([sys.executable, os.path.join(DEMO, "make_media.py"), os.path.join(folder, "media")],
                   check=True, timeout=120)
    manifest = os.path.join(folder, "demo.toml")
    shutil.copy(os.path.join(DEMO, "demo.toml"), manifest)
    saver = os.path.join(folder, "demo.scr")
    p = pack(manifest, saver)
    if p.returncode != 0:
        raise HarnessError(f"packing the demo failed: {p.stdout} {p.stderr}")
    return saver


def ensure_packed_saver(rebuild=False):
    """The saver the tests run: the bare runtime packed with tests/e2e/data/saver.toml."""
    if rebuild or not os.path.exists(SAVER) or os.path.getmtime(SAVER) < os.path.getmtime(BARE_SAVER):
        os.makedirs(STATE, exist_ok=True)
        p = pack(SAVER_MANIFEST, SAVER)
        if p.returncode != 0:
            raise HarnessError(f"packing the test saver failed: {p.stdout} {p.stderr}")
    return SAVER


def cleanup(quiet=False):
    try:
        subprocess.run([wineserver(), "-k"], env=env(), timeout=30, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    except (subprocess.TimeoutExpired, HarnessError):
        pass
    pidfile = os.path.join(STATE, "xvfb.pid")
    if os.path.exists(pidfile):
        try:
            with open(pidfile) as f:
                os.killpg(int(f.read().strip()), signal.SIGTERM)
        except (OSError, ValueError):
            pass
        os.remove(pidfile)
    if not quiet:
        print("cleaned up")


# --- Windows -------------------------------------------------------------------------

class Window:
    def __init__(self, line):
        f = line.rstrip("\n").split("\t")
        self.hwnd = int(f[0])
        self.pid = int(f[1])
        self.cls = f[2]
        self.title = f[3]
        self.rect = tuple(int(v) for v in f[4:8])
        self.style = int(f[8], 16)
        self.exstyle = int(f[9], 16)
        self.visible = f[10] == "1"
        self.related = int(f[11])

    @property
    def size(self):
        return (self.rect[2] - self.rect[0], self.rect[3] - self.rect[1])

    def __repr__(self):
        return (f"Window({self.hwnd} {self.cls!r} {self.title!r} {self.rect} "
                f"style={self.style:08x} ex={self.exstyle:08x} visible={self.visible})")


def windows(parent=None):
    args = [QVWIN, "list"] if parent is None else [QVWIN, "children", str(parent)]
    p = wine(args, timeout=30)
    if p.returncode != 0:
        raise DriveError(f"the window list failed ({p.returncode}): {p.stderr.strip()[-300:]}")
    return [Window(line) for line in p.stdout.splitlines() if line.count("\t") >= 11]


def find_windows(cls=None, title=None, visible_only=True, parent=None):
    return [w for w in windows(parent)
            if (cls is None or w.cls == cls) and (title is None or w.title == title)
            and (w.visible or not visible_only)]


def wait_for(predicate, timeout=20, interval=0.3, what="condition"):
    deadline = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.time() > deadline:
            raise HarnessError(f"timed out waiting for {what}")
        time.sleep(interval)


def wait_for_window(cls, title=None, timeout=20, parent=None):
    found = wait_for(lambda: find_windows(cls, title, parent=parent), timeout,
                     what=f"window {cls!r} {title!r}")
    return found[0]


def monitors():
    """The monitors as Wine's programs enumerate them: [((left, top, right, bottom), primary)]."""
    out = wine([QVWIN, "monitors"], timeout=30).stdout
    rows = [line.split("\t") for line in out.splitlines() if line.count("\t") == 4]
    return [(tuple(int(v) for v in f[:4]), f[4] == "1") for f in rows]


def post(hwnd, message, wparam=0, lparam=0):
    return wine([QVWIN, "post", str(hwnd), str(message), str(wparam), str(lparam)], timeout=30).returncode == 0


def window_text(hwnd):
    return wine([QVWIN, "text", str(hwnd)], timeout=30).stdout


# --- The saver -----------------------------------------------------------------------

class Saver:
    """One saver process started with the given argument text."""

    def __init__(self, *args, exe=None, extra_env=None):
        self.argv = [WINE64, exe or ensure_packed_saver()] + list(args)
        self.proc = subprocess.Popen(self.argv, env=env(extra_env), stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     start_new_session=True)

    def running(self):
        return self.proc.poll() is None

    def wait(self, timeout=20):
        """The Windows exit code, or raises HarnessError when it does not end in time."""
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired as exc:
            raise HarnessError(f"saver still running after {timeout}s: {self.argv}") from exc
        return signed32(self.proc.returncode)

    def stays_running(self, seconds):
        try:
            self.proc.wait(timeout=seconds)
            return False
        except subprocess.TimeoutExpired:
            return True

    def kill(self):
        kill_group(self.proc)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()


class PreviewHost:
    """The stand-in for the display-settings dialog: a window with a 152 x 112 area in
    which it starts the saver with "/p <area>"."""

    def __init__(self, seconds=60, saver=None, extra_env=None):
        self.out = tempfile.NamedTemporaryFile(mode="w+", prefix="qvhost-", delete=False)
        # The saver inherits the host's environment (extra_env too).
        self.proc = subprocess.Popen([WINE64, PREVIEW_HOST, saver or ensure_packed_saver(), str(seconds)],
                                     env=env(extra_env),
                                     stdin=subprocess.DEVNULL, stdout=self.out,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            line = wait_for(lambda: self.output() if "\n" in self.output() else None, 30,
                            what="the preview host to start the saver")
        except HarnessError as exc:  # our host, not the saver, did not come up
            self.kill()
            raise DriveError(str(exc)) from exc
        m = re.match(r"area=(\d+) host=(\d+) pid=(\d+)", line)
        if not m:
            self.kill()
            raise DriveError(f"preview host said {line!r}")
        self.area, self.host, self.saver_pid = int(m.group(1)), int(m.group(2)), int(m.group(3))

    def output(self):
        with open(self.out.name) as f:
            return f.read()

    def close(self, timeout=30):
        """Closes the host window; returns what it reported of the saver's end."""
        post(self.host, 0x0010)  # WM_CLOSE
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired as exc:
            raise HarnessError("preview host did not end") from exc
        return self.output()

    def kill(self):
        kill_group(self.proc)
        try:
            os.unlink(self.out.name)
        except OSError:
            pass


def read_frame_times(path):
    """The file QV_TEST_FRAME_TIMES names: (frame start times in ms, start-up marks).
    The marks map a stage name ("entry", "first-frame", ...) to ms after the process's
    creation; "process-start-unix" is the creation itself in ms since 1970."""
    starts, marks = [], {}
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line.startswith("#"):
                name, _, value = line[1:].strip().partition("=")
                if name.endswith("-ms") and value:
                    marks[name[:-3]] = float(value)
            elif line:
                starts.append(float(line))
    return starts, marks


def read_diagnostic(path):
    """The key=value lines QV_TEST_DIAGNOSTIC_FILE names, as a dict (empty when missing)."""
    values = {}
    if os.path.exists(path):
        with open(path, encoding="latin-1") as f:
            for line in f:
                key, sep, value = line.rstrip("\n").partition("=")
                if sep:
                    values[key] = value
    return values


def run_saver(*args, timeout=20, exe=None):
    with Saver(*args, exe=exe) as s:
        return s.wait(timeout)


def saver_window(timeout=20):
    return wait_for_window("WindowsScreenSaverClass", "Screen Saver", timeout)


# --- Input (X11) ---------------------------------------------------------------------

def xdotool(*args):
    run(["xdotool"] + [str(a) for a in args], timeout=20, check=True)


def key(name, focus_title=None):
    """Presses a key. Without a window manager the X focus follows the pointer, so a key
    meant for a window that is not under the pointer first focuses it by title."""
    if focus_title:
        # A window of that title going away during the search fails it (BadWindow): the
        # search is side-effect free, so it is made again before that counts.
        for attempt in range(3):
            try:
                xdotool("search", "--sync", "--name", focus_title, "windowfocus", "--sync")
                break
            except DriveError:
                if attempt == 2:
                    raise
                time.sleep(0.5)
    xdotool("key", name)


def click(button=1):
    xdotool("click", button)


def mouse_to(x, y):
    xdotool("mousemove", x, y)


def park_pointer():
    """Puts the pointer where the application object moves the cursor at start (the
    first monitor's bottom-right corner), so the X pointer and the saver agree on it."""
    mouse_to(SCREEN[0] - 1, SCREEN[1] - 1)


def mouse_by(dx, dy):
    xdotool("mousemove_relative", "--", dx, dy)


# --- Screenshots ---------------------------------------------------------------------

class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def region_colours(self, left, top, right, bottom):
        """The set of distinct colours in a rectangle (right, bottom exclusive)."""
        colours = set()
        for y in range(top, bottom):
            row = self.rgb[3 * (y * self.width + left):3 * (y * self.width + right)]
            colours.update(zip(row[0::3], row[1::3], row[2::3]))
        return colours

    def save_png(self, path):
        raw = b"".join(b"\0" + bytes(self.rgb[3 * y * self.width:3 * (y + 1) * self.width])
                       for y in range(self.height))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = (b"\x89PNG\r\n\x1a\n" +
               chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)) +
               chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(path, "wb") as f:
            f.write(png)


def black_until_key(saver):
    """For a saver that should stay open and black until input: whether it stays running
    for 1.5 s, the colours inside its window (10 pixels in from each edge), and its exit
    code after a key. Expect (True, {(0, 0, 0)}, 0)."""
    window = saver_window()
    stayed = saver.stays_running(1.5)
    shot = screenshot()
    left, top, right, bottom = window.rect
    colours = shot.region_colours(left + 10, top + 10, min(right, SCREEN[0]) - 10, min(bottom, SCREEN[1]) - 10)
    key("a")
    return stayed, colours, saver.wait(15)


def screenshot(save_as=None):
    """Grabs the whole display as 8-bit RGB (ImageMagick's import, as a PPM)."""
    p = subprocess.run(["import", "-display", display(), "-window", "root", "-depth", "8", "ppm:-"],
                       capture_output=True, timeout=30)
    if p.returncode != 0:
        raise DriveError(f"import failed: {p.stderr.decode(errors='replace')[-300:]}")
    data = p.stdout
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maxval; comments are not produced
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise DriveError(f"unexpected screenshot format {fields}")
    pic = Picture(int(fields[1]), int(fields[2]), data[pos:])
    if save_as:
        pic.save_png(save_as)
    return pic


def artifact(name):
    os.makedirs(os.path.join(STATE, "artifacts"), exist_ok=True)
    return os.path.join(STATE, "artifacts", name)


# --- Registry ------------------------------------------------------------------------

def reg_add(key_path, name, value, kind="REG_SZ"):
    wine(["reg", "add", key_path, "/v", name, "/t", kind, "/d", str(value), "/f"], timeout=30, check=True)


def set_dpi(dpi):
    """The screen resolution Wine reports to programs started from now on."""
    reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", dpi, "REG_DWORD")
    wine(["reg", "add", r"HKCC\Software\Fonts", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"],
         timeout=30)


def reg_query(key_path, name):
    """The value's text as reg prints it, or None when missing. A reg that failed for
    any other reason (Wine did not get it running on a loaded machine) is asked again,
    then raises DriveError: it must never read as a missing value."""
    for _ in range(3):
        p = wine(["reg", "query", key_path, "/v", name], timeout=30)
        if p.returncode == 0 or "Unable to find" in p.stdout + p.stderr:
            break
        time.sleep(0.5)
    else:
        raise DriveError(f"reg query {key_path} /v {name} failed ({p.returncode}): {p.stderr.strip()[-500:]}")
    if p.returncode != 0:
        return None
    for line in p.stdout.splitlines():
        parts = line.split(None, 2)
        if len(parts) >= 3 and parts[0] == name:
            return parts[2].strip()
    return None


def reg_delete(key_path):
    wine(["reg", "delete", key_path, "/f"], timeout=30)


def run_tests():
    """Runs the calling script's tests like unittest.main, then runs once more each test
    that failed only with a DriveError: the harness could not drive Wine (a start Wine
    failed, a window list it did not give) rather than the saver doing something wrong.
    The first failure stays in the log, marked. A failed assertion and a timeout on what
    the saver shows or does (a window that never comes or never goes, a saver that never
    exits) are never retried: an intermittent hang must fail the run."""
    import unittest
    main_module = sys.modules["__main__"]
    suite = unittest.defaultTestLoader.loadTestsFromModule(main_module)
    if len(sys.argv) > 1:
        suite = unittest.defaultTestLoader.loadTestsFromNames(sys.argv[1:], main_module)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if result.wasSuccessful():
        sys.exit(0)

    def raised(trace):  # the exception line that ends the traceback
        lines = [line for line in trace.splitlines() if re.match(r"[\w.]+(Error|Exception)\b", line)]
        return lines[-1] if lines else ""

    retry = [t for t, trace in result.errors
             if isinstance(t, unittest.TestCase) and raised(trace).startswith("qvharness.DriveError")]
    if len(retry) != len(result.errors) or result.failures or result.unexpectedSuccesses:
        sys.exit(1)
    names = ", ".join(t.id() for t in retry)
    print(f"\nHARNESS RETRY: the harness failed to drive {names}; running once more", flush=True)
    again = unittest.TestSuite(type(t)(t._testMethodName) for t in retry)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(again).wasSuccessful() else 1)


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    if argv[1] == "setup":
        setup()
        return 0
    if argv[1] == "cleanup":
        cleanup()
        return 0
    if argv[1] == "run" and len(argv) >= 3:
        proc = subprocess.Popen([WINE64] + argv[2:], env=env(), stdin=subprocess.DEVNULL)
        try:
            return proc.wait(timeout=900)
        except subprocess.TimeoutExpired:
            kill_group(proc)
            return 124
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
