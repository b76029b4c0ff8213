#!/usr/bin/env python3
"""Makes the picture fixtures of the imaging tests.

    make_fixtures.py OUTDIR                 pictures, references and OUTDIR/manifest.txt
    make_fixtures.py --corpus FUZZDIR       small seed files for the imaging fuzz targets
    make_fixtures.py --previewpic FILE      the JPEG the Wine helper carries as "PREVIEWPIC"

Every picture is either written by ImageMagick (/usr/bin/convert, named explicitly) from a
source we draw here, or written byte by byte below for the forms the converter does not
make (top-down rows, hand-made run-length data, transparency chunks, a 1-bit palette).
Each picture's reference is what the converter decodes from it, as raw RGBA rows from the
top; the script checks that for the lossless kinds this is exactly the source it drew,
so the reference is what was asked to be written.

manifest.txt, one picture a line:
    file bits width height tolerance [flags]
bits is what our decoder must produce; tolerance is the largest channel difference
allowed. Flags: "alpha" (compare alpha too), "pal8" (also decode on a 256-colour screen
and compare by mean error).
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib

CONVERT = "/usr/bin/convert"
W, H = 37, 23  # odd on purpose: padded rows and partial JPEG blocks


# --- Sources ----------------------------------------------------------------------------

def colourful(w=None, h=None):
    """Smooth gradients with a few hard edges, as RGB tuples, rows from the top."""
    w, h = w or W, h or H
    px = []
    for y in range(h):
        for x in range(w):
            r = (x * 255) // (w - 1)
            g = (y * 255) // (h - 1)
            b = ((x + 2 * y) * 7) % 256
            if (x // 6 + y // 5) % 3 == 0:
                r, b = b, 255 - r
            px.append((r, g, b))
    return px


def indexed(colours, w=None, h=None):
    """A pattern using exactly the given colours."""
    w, h = w or W, h or H
    n = len(colours)
    return [colours[(x // 3 + y * 5 + (x * y) // 7) % n] for y in range(h) for x in range(w)]


def palette_of(n):
    return [((i * 97) % 256, (i * 53 + 40) % 256, (i * 191 + 7) % 256) for i in range(n)]


def with_alpha(px, w=None, h=None):
    w, h = w or W, h or H
    return [(r, g, b, (x * 255) // (w - 1) if y % 4 else 255 - 11 * (x % 23))
            for (r, g, b), (x, y) in zip(px, ((x, y) for y in range(h) for x in range(w)))]


def grey(w=None, h=None, levels=256):
    w, h = w or W, h or H
    step = 255 // (levels - 1)
    return [(v, v, v) for v in (((x + 3 * y) % levels) * step for y in range(h) for x in range(w))]


# --- Writers ----------------------------------------------------------------------------

def write_ppm(path, px, w=None, h=None):
    w, h = w or W, h or H
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        f.write(bytes(c for p in px for c in p[:3]))


def write_pam(path, px, w=None, h=None):
    w, h = w or W, h or H
    with open(path, "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h))
        f.write(bytes(c for p in px for c in p))


def bmp_file(width, height, bits, pixel_rows, table=b"", compression=0, size_image=None):
    """A BMP with a 40-byte header; pixel_rows is the raw pixel data as stored."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression,
                         len(pixel_rows) if size_image is None else size_image, 2835, 2835,
                         len(table) // 4, 0)
    off = 14 + 40 + len(table)
    return struct.pack("<2sIHHI", b"BM", off + len(pixel_rows), 0, 0, off) + header + table + pixel_rows


def stride(width, bits):
    return (bits * width + 31) // 32 * 4


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png_file(width, height, depth, colour_type, rows, extra=()):
    """rows: raw scan lines (already packed) from the top; extra: (kind, data) chunks."""
    raw = b"".join(b"\0" + r for r in rows)
    out = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0))
    for kind, data in extra:
        out += png_chunk(kind, data)
    return out + png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b"")


def pack_bits(values, depth):
    out, acc, n = bytearray(), 0, 0
    for v in values:
        acc = (acc << depth) | v
        n += depth
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


# --- The converter ----------------------------------------------------------------------

def convert(*args):
    subprocess.run([CONVERT, *args], check=True, capture_output=True, timeout=60)


def decode_rgba(path):
    """What the converter reads from a picture: RGBA rows from the top."""
    p = subprocess.run([CONVERT, path, "-depth", "8", "rgba:-"], check=True, capture_output=True, timeout=60)
    return p.stdout


def rgba_bytes(px):
    return bytes(c for p in px for c in (p if len(p) == 4 else (*p, 255)))


def bmp_bits(path):
    with open(path, "rb") as f:
        d = f.read(32)
    size = struct.unpack_from("<I", d, 14)[0]
    return struct.unpack_from("<H", d, 24 if size == 12 else 28)[0], size


# --- The fixtures -----------------------------------------------------------------------

class Fixtures:
    def __init__(self, out):
        self.out = out
        self.lines = []
        os.makedirs(out, exist_ok=True)
        self.src_rgb = os.path.join(out, "src-rgb.ppm")
        write_ppm(self.src_rgb, colourful())

    def path(self, name):
        return os.path.join(self.out, name)

    def add(self, name, bits, tolerance=0, flags=(), w=None, h=None, expect=None):
        """Records a picture; expect, when given, must be what the converter decodes."""
        w, h = w or W, h or H
        ref = decode_rgba(self.path(name))
        if len(ref) != 4 * w * h:
            raise SystemExit(f"{name}: the converter decoded {len(ref)} bytes, not {4 * w * h}")
        if expect is not None and ref != rgba_bytes(expect):
            raise SystemExit(f"{name}: the converter did not write what was asked")
        with open(self.path(name + ".rgba"), "wb") as f:
            f.write(ref)
        self.lines.append(" ".join([name, str(bits), str(w), str(h), str(tolerance), *flags]))

    def source(self, name, px, alpha=False):
        path = self.path(name + (".pam" if alpha else ".ppm"))
        (write_pam if alpha else write_ppm)(path, px)
        return path

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def check_png(self, name, depth, colour_type, interlace=0):
        with open(self.path(name), "rb") as f:
            d = f.read(29)
        got = (d[24], d[25], d[28])
        if got != (depth, colour_type, interlace):
            raise SystemExit(f"{name}: the converter wrote depth, colour type, interlace {got}")

    def check_bmp(self, name, bits, header):
        got = bmp_bits(self.path(name))
        if got != (bits, header):
            raise SystemExit(f"{name}: the converter wrote {got}, wanted {bits} bits, header {header}")

    def make_bmps(self):
        two = indexed([(200, 30, 40), (10, 120, 250)])
        src = self.source("two", two)
        convert(src, "-type", "palette", "BMP3:" + self.path("bmp_1bit.bmp"))
        self.check_bmp("bmp_1bit.bmp", 1, 40)
        self.add("bmp_1bit.bmp", 1, expect=two)

        twelve = indexed(palette_of(12))
        src = self.source("twelve", twelve)
        convert(src, "-type", "palette", "BMP3:" + self.path("bmp_4bit.bmp"))
        self.check_bmp("bmp_4bit.bmp", 4, 40)
        self.add("bmp_4bit.bmp", 4, expect=twelve)
        convert(src, "-type", "palette", "BMP2:" + self.path("bmp_core_4bit.bmp"))
        self.check_bmp("bmp_core_4bit.bmp", 4, 12)
        self.add("bmp_core_4bit.bmp", 4, expect=twelve)

        many = indexed(palette_of(200))
        src = self.source("many", many)
        convert(src, "-type", "palette", "BMP3:" + self.path("bmp_8bit.bmp"))
        self.check_bmp("bmp_8bit.bmp", 8, 40)
        self.add("bmp_8bit.bmp", 8, expect=many)
        convert(src, "-type", "palette", "BMP2:" + self.path("bmp_core_8bit.bmp"))
        self.check_bmp("bmp_core_8bit.bmp", 8, 12)
        self.add("bmp_core_8bit.bmp", 8, expect=many)
        # Runs of one colour, so that the converter's run-length data has runs and literals.
        runs = [palette_of(40)[(x // 5 + y) % 40] if (x + y) % 11 else palette_of(40)[(x * 7) % 40]
                for y in range(H) for x in range(W)]
        src = self.source("runs", runs)
        convert(src, "-type", "palette", "-compress", "RLE", "BMP3:" + self.path("bmp_rle8.bmp"))
        self.check_bmp("bmp_rle8.bmp", 8, 40)
        self.add("bmp_rle8.bmp", 8, expect=runs)

        rgb = colourful()
        convert(self.src_rgb, "-type", "truecolor", "BMP3:" + self.path("bmp_24.bmp"))
        self.check_bmp("bmp_24.bmp", 24, 40)
        self.add("bmp_24.bmp", 24, expect=rgb)
        convert(self.src_rgb, "-type", "truecolor", "BMP:" + self.path("bmp_24_v5.bmp"))
        self.check_bmp("bmp_24_v5.bmp", 24, 124)
        self.add("bmp_24_v5.bmp", 24, expect=rgb)
        convert(self.src_rgb, "-type", "truecolor", "BMP2:" + self.path("bmp_core_24.bmp"))
        self.check_bmp("bmp_core_24.bmp", 24, 12)
        self.add("bmp_core_24.bmp", 24, expect=rgb)
        # 16-bit files (5-5-5 and 5-6-5 bit fields) widen to 24 bits; the converter's own
        # widening may differ from ours by the lost low bits.
        convert(self.src_rgb, "-define", "bmp:subtype=RGB555", "BMP3:" + self.path("bmp_16_555.bmp"))
        self.check_bmp("bmp_16_555.bmp", 16, 40)
        self.add("bmp_16_555.bmp", 24, tolerance=8)
        convert(self.src_rgb, "-define", "bmp:subtype=RGB565", "BMP:" + self.path("bmp_16_565.bmp"))
        self.check_bmp("bmp_16_565.bmp", 16, 124)
        self.add("bmp_16_565.bmp", 24, tolerance=8)

        rgba = with_alpha(rgb)
        src = self.source("rgba", rgba, alpha=True)
        convert(src, "-define", "bmp3:alpha=true", "BMP3:" + self.path("bmp_32_alpha.bmp"))
        self.check_bmp("bmp_32_alpha.bmp", 32, 40)
        self.add("bmp_32_alpha.bmp", 32, flags=["alpha"], expect=rgba)
        convert(src, "BMP:" + self.path("bmp_32_v5.bmp"))
        self.check_bmp("bmp_32_v5.bmp", 32, 124)
        self.add("bmp_32_v5.bmp", 32, flags=["alpha"], expect=rgba)

        # Written here: top-down rows, 32 bits with all alpha 0, hand-made run-length data.
        rows = b"".join(bytes(c for p in rgb[y * W:(y + 1) * W] for c in p[::-1]) + b"\0" * (stride(W, 24) - 3 * W)
                        for y in range(H))
        self.write("bmp_topdown_24.bmp", bmp_file(W, -H, 24, rows))
        self.add("bmp_topdown_24.bmp", 24, expect=rgb)
        pal = palette_of(40)
        table = b"".join(bytes((b, g, r, 0)) for r, g, b in pal)
        idx = [(x // 4 + 3 * y) % 40 for y in range(H) for x in range(W)]
        rows = b"".join(bytes(idx[y * W:(y + 1) * W]) + b"\0" * (stride(W, 8) - W) for y in range(H))
        self.write("bmp_topdown_8.bmp", bmp_file(W, -H, 8, rows, table))
        self.add("bmp_topdown_8.bmp", 8, expect=[pal[i] for i in idx])
        rows = b"".join(bytes(c for p in rgb[y * W:(y + 1) * W] for c in (*p[::-1], 0)) for y in reversed(range(H)))
        self.write("bmp_32_zero_alpha.bmp", bmp_file(W, H, 32, rows))
        self.add("bmp_32_zero_alpha.bmp", 24, expect=rgb)
        self.make_rle_escapes()

    def make_rle_escapes(self):
        """Runs, odd and even literal runs, a delta, early ends of rows, end of picture."""
        w, h = 20, 6
        pal = palette_of(8)
        table = b"".join(bytes((b, g, r, 0)) for r, g, b in pal)
        grid = [[0] * w for _ in range(h)]  # bottom-up, as the data fills it
        data = bytearray()

        def run(y, x, n, v):
            data.extend((n, v))
            for i in range(n):
                grid[y][x + i] = v

        def literal(y, x, values):
            data.extend((0, len(values), *values))
            if len(values) % 2:
                data.append(0)
            for i, v in enumerate(values):
                grid[y][x + i] = v

        run(0, 0, 7, 1)
        literal(0, 7, [2, 3, 4])          # odd: one pad byte follows
        literal(0, 10, [5, 6, 7, 1])      # even: none
        run(0, 14, 6, 2)
        data.extend((0, 0))               # end of row
        run(1, 0, 3, 3)
        data.extend((0, 0))               # row ends early: the rest stays 0
        run(2, 0, 2, 4)
        data.extend((0, 2, 5, 1))         # delta: 5 right, 1 up -> (7, 3)
        run(3, 7, 4, 5)
        literal(3, 11, [6, 7, 6, 7, 6])
        data.extend((0, 0))
        run(4, 0, 20, 6)
        data.extend((0, 0, 0, 1))         # end of picture; row 5 is never written
        data.extend((0, 0))               # the converter reads a little past the end
        self.write("bmp_rle8_escapes.bmp", bmp_file(w, h, 8, bytes(data), table, compression=1))
        px = [pal[grid[h - 1 - y][x]] for y in range(h) for x in range(w)]
        self.add("bmp_rle8_escapes.bmp", 8, w=w, h=h, expect=px)

    def make_pngs(self):
        rgb = colourful()
        for depth in (1, 2, 4, 8):
            levels = 2 ** depth
            src = self.source(f"grey{depth}", grey(levels=levels))
            name = f"png_grey{depth}.png"
            convert(src, "-colorspace", "gray", "-define", "png:color-type=0", "-define", f"png:bit-depth={depth}",
                    self.path(name))
            self.check_png(name, depth, 0)
            self.add(name, 1 if depth == 1 else (4 if depth == 4 else 8), expect=grey(levels=levels))
        convert(self.source("grey16", grey()), "-colorspace", "gray", "-depth", "16", "-define",
                "png:color-type=0", "-define", "png:bit-depth=16", self.path("png_grey16.png"))
        self.check_png("png_grey16.png", 16, 0, 0)
        self.add("png_grey16.png", 8, tolerance=1)

        # Two-bit palettes, which the converter will not write: here.
        pal = palette_of(4)
        idx = [(x // 3 + y * 5 + (x * y) // 7) % 4 for y in range(H) for x in range(W)]
        self.write("png_pal2.png", png_file(W, H, 2, 3, [pack_bits(idx[y * W:(y + 1) * W], 2) for y in range(H)],
                                            [(b"PLTE", b"".join(bytes(p) for p in pal))]))
        self.add("png_pal2.png", 8, expect=[pal[i] for i in idx])
        twelve = indexed(palette_of(12))
        convert(self.source("twelve", twelve), "-define", "png:color-type=3", "-define", "png:bit-depth=4",
                self.path("png_pal4.png"))
        self.check_png("png_pal4.png", 4, 3, 0)
        self.add("png_pal4.png", 4, expect=twelve)
        many = indexed(palette_of(200))
        convert(self.source("many", many), "-define", "png:color-type=3", "-define", "png:bit-depth=8",
                self.path("png_pal8.png"))
        self.check_png("png_pal8.png", 8, 3, 0)
        self.add("png_pal8.png", 8, expect=many)
        convert(self.path("many.ppm"), "-define", "png:color-type=3", "-interlace", "PNG",
                self.path("png_pal8_interlaced.png"))
        self.check_png("png_pal8_interlaced.png", 8, 3, 1)
        self.add("png_pal8_interlaced.png", 8, expect=many)

        convert(self.src_rgb, "-define", "png:color-type=2", self.path("png_rgb8.png"))
        self.check_png("png_rgb8.png", 8, 2, 0)
        self.add("png_rgb8.png", 24, expect=rgb)
        convert(self.src_rgb, "-define", "png:color-type=2", "-interlace", "PNG", self.path("png_rgb8_interlaced.png"))
        self.check_png("png_rgb8_interlaced.png", 8, 2, 1)
        self.add("png_rgb8_interlaced.png", 24, expect=rgb)
        convert(self.src_rgb, "-depth", "16", "-define", "png:color-type=2", "-define", "png:bit-depth=16",
                self.path("png_rgb16.png"))
        self.check_png("png_rgb16.png", 16, 2, 0)
        self.add("png_rgb16.png", 24, tolerance=1)

        rgba = with_alpha(rgb)
        src = self.source("rgba", rgba, alpha=True)
        convert(src, "-define", "png:color-type=6", self.path("png_rgba8.png"))
        self.check_png("png_rgba8.png", 8, 6, 0)
        self.add("png_rgba8.png", 32, flags=["alpha"], expect=rgba)
        convert(src, "-define", "png:color-type=6", "-interlace", "PNG", self.path("png_rgba8_interlaced.png"))
        self.check_png("png_rgba8_interlaced.png", 8, 6, 1)
        self.add("png_rgba8_interlaced.png", 32, flags=["alpha"], expect=rgba)
        convert(src, "-depth", "16", "-define", "png:color-type=6", "-define", "png:bit-depth=16",
                self.path("png_rgba16.png"))
        self.check_png("png_rgba16.png", 16, 6, 0)
        self.add("png_rgba16.png", 32, tolerance=1, flags=["alpha"])
        ga = [(v, v, v, a) for (v, _, _), (_, _, _, a) in zip(grey(), rgba)]
        convert(self.source("ga", ga, alpha=True), "-define", "png:color-type=4", self.path("png_grey_alpha.png"))
        self.check_png("png_grey_alpha.png", 8, 4, 0)
        self.add("png_grey_alpha.png", 32, flags=["alpha"], expect=ga)

        # Written here: transparency chunks and a black-and-white 1-bit palette.
        pal = palette_of(6)
        idx = [(x // 5 + y) % 6 for y in range(H) for x in range(W)]
        plte = b"".join(bytes(p) for p in pal)
        trns = bytes([255, 0, 128, 255, 40])  # entry 5 has no value: opaque
        self.write("png_pal_trns.png", png_file(W, H, 8, 3, [bytes(idx[y * W:(y + 1) * W]) for y in range(H)],
                                                [(b"PLTE", plte), (b"tRNS", trns)]))
        alpha = list(trns) + [255]
        self.add("png_pal_trns.png", 32, flags=["alpha"], expect=[(*pal[i], alpha[i]) for i in idx])
        key = rgb[5]
        self.write("png_rgb_trns.png", png_file(W, H, 8, 2, [bytes(c for p in rgb[y * W:(y + 1) * W] for c in p)
                                                             for y in range(H)],
                                                [(b"tRNS", struct.pack(">HHH", *key))]))
        self.add("png_rgb_trns.png", 32, flags=["alpha"], expect=[(*p, 0 if p == key else 255) for p in rgb])
        bw = [(x + y) % 3 == 0 for y in range(H) for x in range(W)]
        self.write("png_pal1.png", png_file(W, H, 1, 3, [pack_bits(bw[y * W:(y + 1) * W], 1) for y in range(H)],
                                            [(b"PLTE", bytes((0, 0, 0, 255, 255, 255)))]))
        self.add("png_pal1.png", 1, expect=[(255, 255, 255) if v else (0, 0, 0) for v in bw])

    def make_jpegs(self):
        convert(self.src_rgb, "-quality", "90", self.path("jpeg_420.jpg"))
        self.add("jpeg_420.jpg", 24, flags=["pal8"])
        convert(self.src_rgb, "-quality", "90", "-sampling-factor", "1x1", self.path("jpeg_444.jpg"))
        self.add("jpeg_444.jpg", 24, flags=["pal8"])
        convert(self.src_rgb, "-quality", "85", "-interlace", "JPEG", self.path("jpeg_progressive.jpg"))
        self.add("jpeg_progressive.jpg", 24, flags=["pal8"])
        convert(self.src_rgb, "-colorspace", "gray", "-quality", "90", self.path("jpeg_grey.jpg"))
        self.add("jpeg_grey.jpg", 24, flags=["pal8"])
        convert(self.src_rgb, "-colorspace", "CMYK", "-quality", "95", self.path("jpeg_cmyk.jpg"))
        self.add("jpeg_cmyk.jpg", 24, tolerance=3)

    def finish(self):
        for name in os.listdir(self.out):
            if name.endswith((".ppm", ".pam")):
                os.remove(os.path.join(self.out, name))
        with open(self.path("manifest.txt"), "w") as f:
            f.write("\n".join(self.lines) + "\n")


def make_corpus(fuzz_dir):
    """Seeds: every fixture kind, each small. The load target's inputs start with a
    selector byte: 0 BMP, 1 JPEG, 2 PNG (+3 for a 256-colour screen)."""
    tmp = os.path.join(fuzz_dir, ".fixtures-tmp")
    shutil.rmtree(tmp, ignore_errors=True)
    global W, H
    W, H = 9, 7
    f = Fixtures(tmp)
    f.make_bmps()
    f.make_pngs()
    f.make_jpegs()
    bmp_dir = os.path.join(fuzz_dir, "corpus", "imaging_bmp")
    load_dir = os.path.join(fuzz_dir, "corpus", "imaging_load")
    for d in (bmp_dir, load_dir):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
    for name in sorted(os.listdir(tmp)):
        kind = {".bmp": 0, ".jpg": 1, ".png": 2}.get(os.path.splitext(name)[1])
        if kind is None:
            continue
        with open(os.path.join(tmp, name), "rb") as src:
            data = src.read()
        stem = os.path.splitext(name)[0]
        if kind == 0:
            with open(os.path.join(bmp_dir, stem), "wb") as out:
                out.write(data)
        with open(os.path.join(load_dir, stem), "wb") as out:
            out.write(bytes([kind]) + data)
        if kind == 1 and "cmyk" not in stem:
            with open(os.path.join(load_dir, stem + "_pal8"), "wb") as out:
                out.write(bytes([kind + 3]) + data)
    shutil.rmtree(tmp)


def make_previewpic(path):
    tmp = path + ".ppm"
    write_ppm(tmp, colourful(48, 32), 48, 32)
    convert(tmp, "-quality", "90", "-strip", path)
    os.remove(tmp)


def main(argv):
    if len(argv) == 3 and argv[1] == "--corpus":
        make_corpus(argv[2])
        return 0
    if len(argv) == 3 and argv[1] == "--previewpic":
        make_previewpic(argv[2])
        return 0
    if len(argv) != 2:
        print(__doc__)
        return 2
    f = Fixtures(argv[1])
    f.make_bmps()
    f.make_pngs()
    f.make_jpegs()
    f.finish()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
