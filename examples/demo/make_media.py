#!/usr/bin/env python3
"""Makes the demo saver's pictures: drawn here from scratch, written as PNG with the
standard library only.

  make_media.py OUTDIR
"""
import math
import os
import struct
import sys
import zlib


def write_png(path, width, height, pixels, alpha):
    """pixels: rows of (r, g, b) or (r, g, b, a) tuples."""
    channels = 4 if alpha else 3
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for px in row:
            raw.extend(px[:channels])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    colour_type = 6 if alpha else 2
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def write_bmp(path, width, height, rows):
    """A 24-bit bottom-up BMP; rows are (r, g, b) tuples from the top."""
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        data += line + b"\0" * (stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_wav(path, samples, rate=22050):
    """16-bit mono PCM."""
    data = b"".join(struct.pack("<h", max(-32767, min(32767, int(v)))) for v in samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    riff = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(riff)) + riff)


def tone(freq, seconds, decay, rate=22050, volume=12000):
    n = int(seconds * rate)
    return [volume * math.exp(-decay * i / rate) * math.sin(2 * math.pi * freq * i / rate) for i in range(n)]


def music(bars=13):
    """A looping arpeggio over four chords, two seconds a bar: 26 seconds, just over
    1 MiB as 16-bit mono, so the saver plays it through the media-player control."""
    chords = [(262, 330, 392), (220, 262, 330), (175, 220, 262), (196, 247, 294)]
    samples = []
    for bar in range(bars):
        notes = chords[bar % len(chords)]
        for step in range(8):
            f = notes[step % 3] * (2 if step >= 4 else 1)
            samples += tone(f, 0.25, 6, volume=7000)
    return samples


def clamp(v):
    return max(0, min(255, int(v)))


def ball(size, hue):
    """A lit sphere with a soft, anti-aliased rim in the alpha channel."""
    r0 = size / 2 - 1
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x + 0.5 - size / 2, y + 0.5 - size / 2
            d = math.hypot(dx, dy)
            a = clamp((r0 - d + 0.5) * 255)
            if a == 0:
                row.append((0, 0, 0, 0))
                continue
            nz = math.sqrt(max(0.0, 1 - (d / r0) ** 2))
            light = max(0.0, (-dx * 0.5 - dy * 0.6) / r0 + nz * 0.6)
            shine = max(0.0, light - 0.75) * 4
            base = [c * (0.25 + 0.75 * light) for c in hue]
            row.append(tuple(clamp(c + shine * 200) for c in base) + (a,))
        rows.append(row)
    return rows


def star_strip(size, phases):
    """Phases of a turning five-pointed star on magenta (the transparent colour)."""
    width = size * phases
    rows = [[(255, 0, 255)] * width for _ in range(size)]
    for p in range(phases):
        turn = p * (2 * math.pi / 5) / phases
        for y in range(size):
            for x in range(size):
                dx, dy = x + 0.5 - size / 2, y + 0.5 - size / 2
                ang = math.atan2(dy, dx) - turn
                d = math.hypot(dx, dy)
                # Star outline: radius swings between inner and outer five times a turn.
                k = abs(((ang * 5 / (2 * math.pi)) % 1.0) - 0.5) * 2
                edge = size * (0.22 + 0.26 * k)
                if d < edge:
                    shade = 1 - d / edge * 0.5
                    rows[y][p * size + x] = (clamp(255 * shade), clamp(200 * shade), clamp(40 * shade))
    return rows, width


def badge(width, height):
    """A rounded banner with stripes, opaque, for a slow straight mover."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            cx = min(x, width - 1 - x)
            cy = min(y, height - 1 - y)
            corner = 12
            inside = not (cx < corner and cy < corner and math.hypot(corner - cx, corner - cy) > corner)
            if not inside:
                row.append((0, 0, 0, 0))
                continue
            stripe = ((x + y) // 12) % 2
            row.append((40 + 30 * stripe, 90 + 40 * stripe, 200, 215))
        rows.append(row)
    return rows


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    for name, hue in (("ball-red", (230, 50, 40)), ("ball-green", (40, 200, 80)), ("ball-blue", (60, 110, 240))):
        write_png(os.path.join(out, name + ".png"), 96, 96, ball(96, hue), True)
    rows, width = star_strip(64, 8)
    write_bmp(os.path.join(out, "star-strip.bmp"), width, 64, rows)
    write_png(os.path.join(out, "badge.png"), 240, 72, badge(240, 72), True)
    write_wav(os.path.join(out, "bounce.wav"), tone(660, 0.08, 40))
    write_wav(os.path.join(out, "clack.wav"), tone(1200, 0.05, 80))
    chime = [a + b for a, b in zip(tone(523, 1.2, 3), tone(784, 1.2, 4))]
    write_wav(os.path.join(out, "chime.wav"), chime)
    write_wav(os.path.join(out, "music.wav"), music())


if __name__ == "__main__":
    main()
