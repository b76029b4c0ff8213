#!/usr/bin/python3
"""Reference pixels for the PNG test suite that libpng's source ships (contrib/pngsuite),
decoded by another decoder (Pillow, Debian's python3-pil) with our decoder's one
transformation modelled: gamma correction from the file's gamma (sRGB or none: 1/2.2)
to a display of 2.2, skipped when the exponent is within libpng's 5 % threshold of 1.

Usage: pngsuite_reference.py <suite dir> <out dir>
Writes <name>.rgba (width x height x RGBA, top row first) per readable file and a
manifest.txt line "<name> <width> <height> ok" or "<name> 0 0 corrupt" for the x* files
that must be refused.
"""
import os
import sys

from PIL import Image


def main():
    suite, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    lines = []
    for name in sorted(os.listdir(suite)):
        if not name.endswith(".png"):
            continue
        if name.startswith("x"):
            lines.append(f"{name} 0 0 corrupt")
            continue
        im = Image.open(os.path.join(suite, name))
        file_gamma = 0.45455
        if "srgb" not in im.info and "gamma" in im.info and im.info["gamma"] > 0:
            file_gamma = im.info["gamma"]
        exponent = 1.0 / (file_gamma * 2.2)
        with open(os.path.join(suite, name), "rb") as f:
            ihdr = f.read(26)
        bit_depth, colour_type = ihdr[24], ihdr[25]
        table = list(range(256))
        if abs(exponent - 1.0) >= 0.05:
            table = [round(255 * (v / 255) ** exponent) for v in range(256)]
        trans = im.info.get("transparency")
        if colour_type == 0:
            # Grey, by hand: Pillow clips 16-bit grey instead of scaling it and leaves
            # a grey tRNS out. libpng corrects 16-bit samples before narrowing them and
            # 4-bit grey in place, keeping the top four bits of each corrected sample.
            raw = list(im.getdata())
            top = (1 << bit_depth) - 1
            scaled = bit_depth < 8 and max(raw) > top  # Pillow may have widened the samples
            pixels = []
            for v in raw:
                sample = v * top // 255 if scaled else v
                clear = isinstance(trans, int) and sample == trans
                if bit_depth == 16:
                    # Corrected at 16 bits, then narrowed.
                    g = round(255 * (v / 65535) ** exponent) if table[128] != 128 else v >> 8
                else:
                    if bit_depth < 8:
                        v = sample * 255 // top
                    g = table[v]
                if bit_depth == 4 and not isinstance(trans, int):
                    g = (g >> 4) * 17
                pixels.append((g, g, g, 0 if clear else 255))
            rgba = Image.new("RGBA", im.size)
            rgba.putdata(pixels)
        else:
            rgba = im.convert("RGBA")
            r, g, b, a = rgba.split()
            rgba = Image.merge("RGBA", (r.point(table), g.point(table), b.point(table), a))
        with open(os.path.join(out, name + ".rgba"), "wb") as f:
            f.write(rgba.tobytes())
        lines.append(f"{name} {im.width} {im.height} ok")
    with open(os.path.join(out, "manifest.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
