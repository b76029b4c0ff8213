#!/usr/bin/env python3
"""Sound under Wine, heard: the saver runs full screen with Wine's ALSA output pointed at
ALSA's file plugin, so the raw PCM it plays lands in a file that the checks read.

- the demo's embedded chime is in the capture (sample-block correlation with the file's
  own samples), once without the loop flag and repeated with it;
- a sprite's bounce sound is in the capture, spaced like the bounces the saver logged;
- with "bMuteSound"=1 nothing is captured and no device is opened;
- a background sound over 1 MiB and an MP3 go through the media-player control, via a
  temporary file with the sound's extension that is gone after the run;
- hostile wave files leave the saver running and silent;
- the real mixer: the speakers' mute switch is set during a muted run and put back.

The saver's test diagnostic QV_TEST_SOUND_LOG lists the sounds it started, with times.
"""
import array
import glob
import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import time
import unittest

import qvharness as h

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(HERE, "..", "..", "examples", "demo")
sys.path.insert(0, DEMO)
import make_media  # noqa: E402  (the demo's own media writer: write_wav, tone)

FOLDER = os.path.join(h.STATE, "sound")
COMPANY = "Quorvex"
RATE = 22050
QVMIXER = os.path.join(h.BUILD, "qvmixer.exe")


def settings_key(scr_name):
    return rf"HKCU\SOFTWARE\{COMPANY}\Compiled ScreenSaver\{scr_name}"


def read_wav_samples(path):
    """The 16-bit mono samples of a canonical wave file of ours."""
    with open(path, "rb") as f:
        data = f.read()
    return array.array("h", data[44:])


def alsa_env(raw_path):
    """Points Wine's ALSA output at the file plugin for one run. Wine opens one ALSA
    stream per wave-out device (and one for the control's renderer); with truncate off,
    each stream gets a file of its own (raw_path, raw_path.0001, ...) instead of
    overwriting the others. Each file holds its stream from its first write on, with the
    silence between sounds, so times within a file are real times."""
    conf = raw_path + ".conf"
    with open(conf, "w") as f:
        f.write('pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw"; truncate false }\n' % raw_path)
    return {"ALSA_CONFIG_PATH": "/usr/share/alsa/alsa.conf:" + conf}


def samples16(path):
    if not os.path.exists(path):
        return array.array("h")
    with open(path, "rb") as f:
        data = f.read()
    return array.array("h", data[: len(data) // 2 * 2])


def correlation(a, b):
    n = min(len(a), len(b))
    if n == 0:
        return 0.0
    sa = sum(a[:n]) / n
    sb = sum(b[:n]) / n
    num = sum((a[i] - sa) * (b[i] - sb) for i in range(n))
    da = math.sqrt(sum((a[i] - sa) ** 2 for i in range(n)))
    db = math.sqrt(sum((b[i] - sb) ** 2 for i in range(n)))
    return num / (da * db) if da and db else 0.0


def onsets(capture, threshold=2000, gap=RATE // 10):
    """Sample indices where sound begins after at least `gap` quiet samples."""
    found = []
    quiet = gap
    for i, v in enumerate(capture):
        if abs(v) >= threshold:
            if quiet >= gap:
                found.append(i)
            quiet = 0
        else:
            quiet += 1
    return found


def matches_in(streams, reference, **kw):
    """matches() in each captured stream; the list of lists, streams without one left out."""
    return [m for m in (matches(s, reference, **kw) for s in streams) if m]


def matches(capture, reference, block=2048, min_corr=0.99):
    """Where the reference's first block appears in the capture (each onset checked by
    correlation over the block, a few samples of slack either way)."""
    head = reference[:block]
    first = next(i for i, v in enumerate(head) if abs(v) >= 2000)
    found = []
    for start in onsets(capture):
        best = max(correlation(capture[start - first + d: start - first + d + block], head)
                   for d in range(-3, 4) if start - first + d >= 0)
        if best >= min_corr:
            found.append(start - first)
    return found


def write_wave(path, samples, rate=RATE, extra_chunks=b"", declared=None, channels=1, align=2, bits=16):
    data = b"".join(struct.pack("<h", max(-32767, min(32767, int(v)))) for v in samples)
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + extra_chunks
    body += b"data" + struct.pack("<I", len(data) if declared is None else declared) + data
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


MANIFEST = """ScrName = "{name}"
CompanyName = "{company}"
NoSplash = true
FixedPreview = false

[Document]
m_nDesignWidth = 1024
m_nDesignHeight = 768
m_bFastTiming = true
m_nBackgroundKind = 2
m_crBackColor = 0x000000
{document}
"""


class SoundRun:
    """One full-screen run of a saver with its sound captured and logged."""

    def __init__(self, saver, name, seconds, scr_name, mute=False, watch=None):
        self.raw = os.path.join(FOLDER, name + ".raw")
        self.log_path = os.path.join(FOLDER, name + ".log")
        self.diag = os.path.join(FOLDER, name + ".diag")
        self.frames = os.path.join(FOLDER, name + ".frames")
        for p in (self.raw, self.log_path, self.diag, self.frames):
            if os.path.exists(p):
                os.remove(p)
        h.reg_add(settings_key(scr_name), "bMuteSound", "1" if mute else "0")
        extra = alsa_env(self.raw)
        extra.update(QV_TEST_SOUND_LOG=h.winpath(self.log_path), QV_TEST_DIAGNOSTIC_FILE=h.winpath(self.diag),
                     QV_TEST_FRAME_TIMES=h.winpath(self.frames))
        h.park_pointer()
        self.saver = h.Saver("/s", exe=saver, extra_env=extra)
        try:
            h.saver_window()
            self.during = watch() if watch else None
            time.sleep(seconds)
            self.survived = self.saver.running()
            self.during_late = watch() if watch else None
            h.key("a")
            self.code = self.saver.wait(20)
        finally:
            self.saver.kill()
        files = sorted(f for f in glob.glob(self.raw + "*") if not f.endswith(".conf"))
        self.streams = [samples16(f) for f in files]
        self.streams = [s for s in self.streams if s]
        self.capture = array.array("h")
        for s in self.streams:
            self.capture.extend(s)
        self.captured_file = bool(files)
        self.log = []
        if os.path.exists(self.log_path):
            with open(self.log_path) as f:
                self.log = [line.split() for line in f if line.strip()]

    def diagnostic(self, key):
        with open(self.diag) as f:
            for line in f:
                if line.startswith(key + "="):
                    return line.split("=", 1)[1].strip()
        return None


def ball(**fields):
    """A ball sprite at (400, 300) bouncing at the edges, with the given extra fields."""
    lines = ['[[Document.Sprites]]', 'class = "CAnimSprite"', 'm_strName = "Ball"', "m_nX = 400", "m_nY = 300",
             'm_Picture = "media/ball-red.png"', "m_nMotion = 1", "m_nEdgeMode = 2"]
    lines += [f"{k} = {v}" for k, v in fields.items()]
    return "\n" + "\n".join(lines) + "\n"


def pack(folder, name, document):
    manifest = os.path.join(folder, name + ".toml")
    with open(manifest, "w") as f:
        f.write(MANIFEST.format(name="Quorvex Sound " + name, company=COMPANY, document=document))
    out = os.path.join(folder, name + ".scr")
    p = h.pack(manifest, out)
    if p.returncode != 0:
        raise h.HarnessError(f"packing {name} failed: {p.stdout} {p.stderr}")
    return out


def unix_path(win_path):
    """A path as the saver saw it (drive C: of the prefix, or Z: for the root) on this
    machine."""
    drive, rest = win_path[:2].upper(), win_path[2:].replace("\\", "/")
    if drive == "Z:":
        return rest
    if drive == "C:":
        return os.path.join(h.PREFIX, "drive_c") + rest
    return None


def tone_frequency(raw_floats, rate=48000, channels=2):
    """The frequency of a tone in float samples (the control's renderer writes 32-bit
    float stereo at 48 kHz here), from the median spacing of zero crossings; silent gaps
    between bursts do not count."""
    left = raw_floats[0::channels]
    xs = [i for i in range(1, len(left))
          if (left[i - 1] < 0) != (left[i] < 0) and max(abs(left[i - 1]), abs(left[i])) > 0.001]
    spacing = sorted(b - a for a, b in zip(xs, xs[1:]) if b - a < 400)
    return rate / (2 * spacing[len(spacing) // 2]) if spacing else 0.0


class Sound(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(FOLDER, ignore_errors=True)
        os.makedirs(os.path.join(FOLDER, "media"))
        media = os.path.join(FOLDER, "media")
        subprocess.run([sys.executable, os.path.join(DEMO, "make_media.py"), media], check=True, timeout=120)
        cls.chime = read_wav_samples(os.path.join(media, "chime.wav"))
        cls.bounce = read_wav_samples(os.path.join(media, "bounce.wav"))
        cls.clack = read_wav_samples(os.path.join(media, "clack.wav"))
        # The demo itself.
        shutil.copy(os.path.join(DEMO, "demo.toml"), os.path.join(FOLDER, "demo.toml"))
        cls.demo = os.path.join(FOLDER, "demo.scr")
        p = h.pack(os.path.join(FOLDER, "demo.toml"), cls.demo)
        if p.returncode != 0:
            raise h.HarnessError(f"packing the demo failed: {p.stdout} {p.stderr}")
        # The chime alone, looping.
        cls.chime_loop = pack(FOLDER, "chime-loop", 'm_Sound = "media/chime.wav"\nm_bSoundLoop = true\n')
        # One ball crossing the screen and bouncing at the left and right edges; the log
        # gives the times of its bounces.
        cls.bouncer = pack(FOLDER, "bouncer", ball(m_dVx=800, m_SoundBounceX='"media/bounce.wav"'))
        # Long sounds for the control: a 1.5 MiB wave file and an MP3, embedded.
        long_wav = os.path.join(media, "long.wav")
        write_wave(long_wav, make_media.tone(440, 36, 0.0, volume=8000))
        cls.long_wav_size = os.path.getsize(long_wav)
        cls.long_saver = pack(FOLDER, "long-wav", 'm_Sound = "media/long.wav"\nm_bSoundLoop = false\n')
        mp3 = os.path.join(media, "music.mp3")
        cls.have_mp3 = subprocess.run(
            ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=660:duration=8",
             "-ac", "1", "-ar", "44100", "-b:a", "64k", mp3], timeout=120).returncode == 0
        if cls.have_mp3:
            cls.mp3_saver = pack(FOLDER, "mp3", 'm_Sound = "media/music.mp3"\nm_bSoundLoop = false\n')
            # A 1.5-second MP3, looping and not: the loop check restarts it.
            short = os.path.join(media, "short.mp3")
            subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                            "sine=frequency=660:duration=1.5", "-ac", "1", "-ar", "44100", "-b:a", "64k", short],
                           timeout=120, check=True)
            for loop in ("true", "false"):
                setattr(cls, f"short_mp3_{loop}", pack(FOLDER, f"short-mp3-{loop}",
                                                       f'm_Sound = "media/short.mp3"\nm_bSoundLoop = {loop}\n'))
        # Hostile wave files as the background sound and as a sprite's bounce sounds. Each
        # carries loud bytes, so a reader that played what it should not would be heard:
        # 43 bytes, a good format and loud bytes where a wrong size rule would take them
        # as samples; a format of no channels over loud samples; a data chunk declared
        # 2 GiB long over 4000 loud samples, which may be played but nothing beyond them.
        with open(os.path.join(media, "short.wav"), "wb") as f:
            f.write(b"RIFF\x23\x00\x00\x00WAVEfmt \x10\x00\x00\x00" +
                    struct.pack("<HHIIHH", 1, 1, RATE, 2 * RATE, 2, 16) + b"\x28\x23" * 3 + b"\x28")
        write_wave(os.path.join(media, "zero-format.wav"), [9000, -9000] * 4000, channels=0, align=0)
        write_wave(os.path.join(media, "giant.wav"), [9000, -9000] * 2000, declared=0x7FFFFFF0)
        cls.hostile = {}
        for name in ("short", "zero-format", "giant"):
            slot = f'"media/{name}.wav"'
            cls.hostile[name] = pack(FOLDER, "hostile-" + name, f"m_Sound = {slot}\nm_bSoundLoop = true\n" +
                                     ball(m_dVx=800, m_dVy=700, m_SoundBounceX=slot, m_SoundBounceY=slot))

    def test_demo_chime_once_and_its_sprite_sounds(self):
        run = SoundRun(self.demo, "demo", 4, "Quorvex Demo")
        self.assertTrue(run.survived)
        self.assertEqual(run.code, 0)
        self.assertTrue(run.captured_file, "a device was opened")
        starts = [line for line in run.log if line[1] == "start"]
        self.assertEqual([s[2] for s in starts], ["clip"], run.log)
        chimes = matches_in(run.streams, self.chime)
        bounces = matches_in(run.streams, self.bounce, block=1024)
        clacks = matches_in(run.streams, self.clack, block=512)
        logged = sum(1 for line in run.log if line[1] == "sprite" and line[3] == "played")
        heard = sum(len(m) for m in bounces + clacks)
        print(f"demo: {len(run.streams)} streams, {len(run.capture)} samples captured, chime at {chimes}, "
              f"{logged} sprite sounds logged, {heard} heard")
        self.assertEqual(chimes and [len(m) for m in chimes], [1], "the chime plays once without the loop flag")
        # A sound started in the last moments before the close may be cut off.
        self.assertGreaterEqual(heard, logged - 2)
        self.assertLessEqual(heard, logged)

    def test_chime_loops_with_the_loop_flag(self):
        run = SoundRun(self.chime_loop, "chime-loop", 4, "Quorvex Sound chime-loop")
        found = matches_in(run.streams, self.chime)
        self.assertEqual(len(found), 1, "one stream")
        chimes = found[0]
        print(f"chime-loop: chime at {chimes} (length {len(self.chime)})")
        self.assertGreaterEqual(len(chimes), 2, "looped")
        # Gapless: each repetition starts one chime length after the one before.
        for a, b in zip(chimes, chimes[1:]):
            self.assertLessEqual(abs(b - a - len(self.chime)), 4)

    def test_sound_waits_for_a_play_once_intro(self):
        # A FLIC intro played once (2 s, then the window closes): the chime starts only
        # after it. One second in, nothing of the chime may be in the capture yet.
        import test_media
        test_media.make_flic(os.path.join(FOLDER, "media", "intro.flc"))
        saver = pack(FOLDER, "intro-sound", 'm_Sound = "media/chime.wav"\nm_bSoundLoop = false\n'
                     'm_MediaFile = "media/intro.flc"\nm_nMediaFit = 0\nm_bMediaPlayOnce = true\n')
        raw = os.path.join(FOLDER, "intro-sound.raw")

        def chimes_so_far():
            time.sleep(1.0)
            files = [f for f in glob.glob(raw + "*") if not f.endswith(".conf")]
            return sum(len(matches(samples16(f), self.chime)) for f in files)

        run = SoundRun(saver, "intro-sound", 6, "Quorvex Sound intro-sound", watch=chimes_so_far)
        self.assertTrue(run.survived)
        self.assertEqual(run.during, 0, "the chime started while the intro played")
        self.assertEqual([len(m) for m in matches_in(run.streams, self.chime)], [1], "the chime after the intro")

    def test_bounce_sounds_follow_the_bounces(self):
        run = SoundRun(self.bouncer, "bouncer", 5, "Quorvex Sound bouncer")
        events = [int(line[0]) for line in run.log if line[1] == "sprite" and line[2] == "2"]
        self.assertGreaterEqual(len(events), 3, run.log)
        found = matches_in(run.streams, self.bounce, block=1024)
        self.assertEqual(len(found), 1, "one clip, one stream")
        heard = found[0]
        print(f"bouncer: bounces logged at {[e - events[0] for e in events]} ms, "
              f"heard at {[round((s - heard[0]) * 1000 / RATE) for s in heard]} ms")
        self.assertGreaterEqual(len(heard), len(events) - 1)
        # Intervals between sounds in the capture match the intervals between the bounces
        # the saver logged, within 3 frames (42 ms) plus 5 %: the silence Wine writes
        # between sounds follows its own period timer, which runs about 4 % slow against
        # the saver's clock here (1285 ms logged came out as 1337 ms).
        logged = [b - a for a, b in zip(events, events[1:])]
        captured = [(b - a) * 1000 / RATE for a, b in zip(heard, heard[1:])]
        for want, got in zip(logged, captured):
            self.assertLess(abs(want - got), 42 + 0.05 * want, (logged, captured))

    def test_mute_setting_opens_no_device(self):
        run = SoundRun(self.demo, "demo-muted", 3, "Quorvex Demo", mute=True)
        self.assertTrue(run.survived)
        self.assertFalse(any(run.capture), "silent")
        print(f"muted: capture file {'present' if run.captured_file else 'absent'}, log {run.log[:3]}")
        self.assertFalse(run.captured_file, "a wave-out device was opened")
        self.assertTrue(all(line[1] == "sprite" and line[3] == "silent" for line in run.log), run.log)
        self.assertFalse(h.find_windows("QvHiddenSoundWnd", visible_only=False))

    def check_control_run(self, saver, name, extension):
        temp_files = []

        def watch():
            folder = None
            diag = os.path.join(FOLDER, name + ".diag")
            if os.path.exists(diag):
                with open(diag) as f:
                    for line in f:
                        if line.startswith("TempFolder="):
                            folder = unix_path(line.split("=", 1)[1].strip())
            if folder:
                time.sleep(1)
                temp_files.extend(glob.glob(os.path.join(folder, "pksv*." + extension)))
            return folder

        run = SoundRun(saver, name, 6, "Quorvex Sound " + name, watch=watch)
        self.assertTrue(run.survived)
        if run.code == -signal.SIGSEGV:
            # Wine's media engine now and then crashes the process as it exits after a
            # playback (Wine's fault, seen with its own players too). The run is judged by
            # what it did: the frame times are written only once the window is gone and
            # the run's clean-up is done, and the checks below read the rest.
            print(f"{name}: Wine crashed at exit after the playback (SIGSEGV)")
            self.assertTrue(os.path.exists(run.frames), "the crash came before the run's clean-up ended")
        else:
            self.assertEqual(run.code, 0, "the control's player is released cleanly")
        starts = [line for line in run.log if line[1] == "start"]
        self.assertEqual(len(starts), 1, run.log)
        floats = array.array("f", run.capture.tobytes()[: len(run.capture) * 2 // 4 * 4])
        loud = sum(1 for v in floats[0::2] if abs(v) > 0.03)
        freq = tone_frequency(floats)
        print(f"{name}: start {starts[0][2:]}, {len(run.streams)} streams, {len(run.capture) * 2} bytes captured, "
              f"{loud} loud frames, tone {freq:.1f} Hz, temporary files seen {sorted(set(temp_files))}")
        self.assertEqual(starts[0][2], "player", "played through the control")
        temp = unix_path(starts[0][3])
        self.assertTrue(temp and temp.endswith("." + extension), starts[0])
        self.assertIn(temp, temp_files, "the temporary file existed while the sound played")
        self.assertFalse(os.path.exists(temp), "and is gone after the run")
        # Wine deletes a file the control still holds; Windows would not: the player must
        # be released before its file is deleted.
        steps = [line[1] for line in run.log if line[1] in ("release", "delete")]
        self.assertIn("delete", steps, run.log)
        self.assertIn("release", steps[:steps.index("delete")], "the file was deleted before the player let go")
        return loud, freq

    def test_long_wave_goes_through_the_control(self):
        self.assertGreaterEqual(self.long_wav_size, 1 << 20)
        loud, freq = self.check_control_run(self.long_saver, "long-wav", "wav")
        self.assertGreater(loud, 4800, "at least 0.1 s of the control's sound reached the capture")
        self.assertAlmostEqual(freq, 440, delta=440 * 0.03)

    def test_mp3_goes_through_the_control(self):
        if not self.have_mp3:
            self.skipTest("ffmpeg could not make an MP3")
        loud, freq = self.check_control_run(self.mp3_saver, "mp3", "mp3")
        self.assertGreater(loud, 4800, "at least 0.1 s of the control's sound reached the capture")
        self.assertAlmostEqual(freq, 660, delta=660 * 0.03)

    def test_control_sound_loops_with_the_loop_flag(self):
        if not self.have_mp3:
            self.skipTest("ffmpeg could not make an MP3")
        loud = {}
        for loop in ("true", "false"):
            run = SoundRun(getattr(self, f"short_mp3_{loop}"), f"short-mp3-{loop}", 7,
                           f"Quorvex Sound short-mp3-{loop}")
            floats = array.array("f", run.capture.tobytes()[: len(run.capture) * 2 // 4 * 4])
            loud[loop] = sum(1 for v in floats[0::2] if abs(v) > 0.03) / 48000
        print(f"short mp3 through the control: {loud['true']:.2f} s of tone captured looping, "
              f"{loud['false']:.2f} s once")
        self.assertGreater(loud["true"], 2 * loud["false"], "the loop check restarted it")

    def test_hostile_wave_files_leave_the_saver_running(self):
        for name, saver in self.hostile.items():
            with self.subTest(name):
                run = SoundRun(saver, "hostile-" + name, 3, "Quorvex Sound hostile-" + name)
                self.assertTrue(run.survived)
                self.assertEqual(run.code, 0)
                loud = sum(1 for v in run.capture if abs(v) > 100)
                print(f"hostile {name}: {len(run.capture)} samples captured, {loud} loud, log {run.log[:2]}")
                if name == "giant":
                    # Its real samples only, never what lies past the end of the file.
                    self.assertGreater(loud, 0)
                    self.assertLessEqual(set(run.capture), {0, 9000, -9000})
                else:
                    self.assertEqual(loud, 0)

    def test_sounds_do_not_stutter_the_frame_loop(self):
        """The demo with its chime and collision sounds against the same demo muted: the
        frame loop's median and 99th-percentile frame intervals stay within 1 ms."""
        from test_frame_rate import frame_stats
        figures = {}
        for muted in (True, False):
            times = os.path.join(FOLDER, f"frames-{int(muted)}.txt")
            h.reg_add(settings_key("Quorvex Demo"), "bMuteSound", "1" if muted else "0")
            h.park_pointer()
            extra = alsa_env(os.path.join(FOLDER, f"frames-{int(muted)}.raw"))
            extra["QV_TEST_FRAME_TIMES"] = h.winpath(times)
            saver = h.Saver("/s", exe=self.demo, extra_env=extra)
            try:
                h.saver_window()
                time.sleep(5)
                h.key("a")
                saver.wait(20)
            finally:
                saver.kill()
            starts, _ = h.read_frame_times(times)
            figures[muted] = frame_stats(starts)
        print(f"frame times: silent {figures[True]}, with sound {figures[False]}")
        self.assertLessEqual(abs(figures[False]["median_ms"] - figures[True]["median_ms"]), 1.0)
        # The 99th percentile of a 5-second run moves by several milliseconds between two
        # silent runs when the machine is loaded (2 cores shared by many builds here), so
        # it is held to 1 ms or 15 %, whichever is more.
        p99 = figures[True]["p99_ms"]
        self.assertLessEqual(abs(figures[False]["p99_ms"] - p99), max(1.0, 0.15 * p99))

    def test_real_mixer_is_muted_during_a_muted_run_and_restored(self):
        """Wine keeps the mixer's switch per process, so the saver reports what the mixer
        says after its own steps (QV_TEST_MIXER_LOG), and qvmixer shows in one process
        that the switch really silences the output."""
        def qvmixer(name, *args):
            raw = os.path.join(FOLDER, name + ".raw")
            for f in glob.glob(raw + "*"):
                os.remove(f)
            p = h.run([h.WINE64, QVMIXER] + list(args), env=h.env(alsa_env(raw)), timeout=60)
            files = [f for f in glob.glob(raw + "*") if not f.endswith(".conf")]
            captured = array.array("h")
            for f in files:
                captured.extend(samples16(f))
            return p.stdout.strip(), captured

        state, _ = qvmixer("mixer-get", "get")
        print(f"mixer: {state}")
        if "line=Master Volume" not in state or "control=Mute" not in state:
            self.skipTest(f"no speaker mute switch: {state}")
        _, loud = qvmixer("mixer-tone", "tone", "400")
        _, held = qvmixer("mixer-tone-muted", "tone", "400", "hold")
        peak, held_peak = max(map(abs, loud), default=0), max(map(abs, held), default=0)
        print(f"mixer: tone peak {peak} unmuted, {held_peak} with the switch on")
        self.assertGreater(peak, 7000)
        self.assertEqual(held_peak, 0, "the switch silences the output")

        log = os.path.join(FOLDER, "mixer.log")
        for muted in (True, False):
            if os.path.exists(log):
                os.remove(log)
            h.reg_add(settings_key("Quorvex Demo"), "bMuteSound", "1" if muted else "0")
            h.park_pointer()
            saver = h.Saver("/s", exe=self.demo,
                            extra_env=dict(alsa_env(os.path.join(FOLDER, "mixer-run.raw")),
                                           QV_TEST_MIXER_LOG=h.winpath(log)))
            try:
                h.saver_window()
                time.sleep(1)
                h.key("a")
                saver.wait(20)
            finally:
                saver.kill()
            with open(log) as f:
                steps = [line.split() for line in f]
            print(f"mixer: run with bMuteSound={int(muted)}: {steps}")
            if muted:
                self.assertEqual([s[0] for s in steps], ["start", "end"])
                self.assertIn("mute=1", steps[0], "muted during the run")
                self.assertIn("mute=0", steps[1], "restored at its end")
            else:
                self.assertTrue(all("touched=0" in s for s in steps), "nothing touched without the setting")
        h.reg_add(settings_key("Quorvex Demo"), "bMuteSound", "0")


if __name__ == "__main__":
    h.run_tests()
