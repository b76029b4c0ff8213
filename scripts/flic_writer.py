#!/usr/bin/env python3
"""Writes small FLIC animations (.flc) for examples and end-to-end tests: each frame a
full byte-run picture, colours with a 256-level colour chunk wherever they change, and
the ring frame that leads from the last frame back to the first.

    write_flc(path, width, height, frames, palettes)

frames: one bytes object of width x height palette indices (top row first) per frame;
palettes: one list of 256 (r, g, b) per frame, or None where the colours stay.
"""
import struct


def _chunk(kind, data):
    if len(data) % 2:
        data += b"\0"
    return struct.pack("<IH", 6 + len(data), kind) + data


def _colours(palette):
    data = struct.pack("<HBB", 1, 0, 0)  # one packet: skip 0, 256 colours
    data += b"".join(bytes(c) for c in palette)
    return _chunk(4, data)


def _byte_run(width, height, pixels):
    out = bytearray()
    for y in range(height):
        row = pixels[y * width:(y + 1) * width]
        packets = bytearray()
        count, x = 0, 0
        while x < width:
            run = 1
            while x + run < width and run < 127 and row[x + run] == row[x]:
                run += 1
            if run >= 2:
                packets += bytes([run, row[x]])
                x += run
            else:
                n = 1
                while x + n < width and n < 128 and row[x + n] != row[x + n - 1]:
                    n += 1
                packets += bytes([256 - n]) + bytes(row[x:x + n])
                x += n
            count += 1
        out += bytes([min(count, 255)]) + packets
    return _chunk(15, bytes(out))


def _frame(chunks):
    body = b"".join(chunks)
    return struct.pack("<IHH8x", 16 + len(body), 0xF1FA, len(chunks)) + body


def write_flc(path, width, height, frames, palettes, speed=40):
    body = b""
    for i, pixels in enumerate(frames):
        chunks = [_colours(palettes[i])] if palettes[i] else []
        body += _frame(chunks + [_byte_run(width, height, pixels)])
    ring = [_colours(palettes[0])] if palettes[0] else []
    body += _frame(ring + [_byte_run(width, height, frames[0])])
    header = struct.pack("<IHHHHHHI", 128 + len(body), 0xAF12, len(frames), width, height, 8, 3, speed)
    header += b"\0" * (128 - len(header))
    with open(path, "wb") as f:
        f.write(header + body)
