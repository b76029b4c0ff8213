#!/usr/bin/env python3
"""Writes the seed wave files for fuzz_wave into this folder: canonical PCM, a long
format chunk, LIST/fact chunks before the data, 8-bit stereo, an odd-length chunk, a
truncated file and one with a giant declared data size."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def wave(name, channels=1, rate=8000, bits=16, frames=24, fmt_extra=b"", before=(), declared=None, cut=0):
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits) + fmt_extra
    data = bytes((i * 37) & 0xFF for i in range(frames * align))
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + (b"\0" if len(fmt) & 1 else b"")
    for cid, payload in before:
        body += cid + struct.pack("<I", len(payload)) + payload + (b"\0" if len(payload) & 1 else b"")
    body += b"data" + struct.pack("<I", len(data) if declared is None else declared) + data
    out = b"RIFF" + struct.pack("<I", len(body)) + body
    if cut:
        out = out[:-cut]
    with open(os.path.join(here, name), "wb") as f:
        f.write(out)


wave("canonical.wav")
wave("long-fmt.wav", fmt_extra=b"\0\0")
wave("list-fact.wav", before=((b"LIST", b"INFOISFT\x03\0\0\0qv\0"), (b"fact", b"\x18\0\0\0")))
wave("stereo8.wav", channels=2, bits=8)
wave("odd-fmt.wav", fmt_extra=b"\0\0\0")
wave("truncated.wav", cut=11)
wave("giant.wav", declared=0x7FFFFFF0)
