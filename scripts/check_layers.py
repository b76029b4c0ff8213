#!/usr/bin/env python3
"""Checks that every #include in src/ follows the layer order.

The subsystems stand in layers (docs/architecture.md); a folder may include its own
headers and those of the layers below it, never a layer above nor a sibling in its own
layer. A portable file (not under win32/) never includes a win32/ header. Run by the
build before anything compiles, and as a test. Exit status 1 with one line per broken
include.

usage: check_layers.py SRC_DIR
"""
import pathlib
import re
import sys

# Lowest first. Subsystems in one tuple are siblings: neither includes the other.
LAYERS = [
    ("base",),
    ("package", "imaging"),
    ("settings",),
    ("document",),
    ("media", "feed"),
    ("scene",),
    ("ui",),
    ("shell",),
    ("app",),
]
# Folders that build only into the Windows runtime, like a subsystem's win32/ files.
WINDOWS_ONLY = {"app"}
RANK = {name: rank for rank, names in enumerate(LAYERS) for name in names}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".rc", ".inc"}


def order_text():
    return " -> ".join("{" + ", ".join(n) + "}" if len(n) > 1 else n[0] for n in LAYERS)


def check(src):
    problems = []
    for path in sorted(src.rglob("*")):
        if not path.is_file() or path.suffix not in SOURCE_SUFFIXES:
            continue
        rel = path.relative_to(src)
        own = rel.parts[0]
        if own not in RANK:
            if len(rel.parts) > 1:
                problems.append(f"{rel}: folder '{own}' is not in the layer order; add it to "
                                f"scripts/check_layers.py and docs/architecture.md")
            continue
        portable = own not in WINDOWS_ONLY and "win32" not in rel.parts[1:-1]
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            target = m.group(1)
            parts = pathlib.PurePosixPath(target).parts
            if len(parts) < 2:
                continue  # a file beside this one (resource scripts)
            other = parts[0]
            where = f"{rel}:{number}: #include \"{target}\""
            if other not in RANK:
                if (src / other).is_dir():
                    problems.append(f"{where}: folder '{other}' is not in the layer order")
                continue
            if portable and "win32" in parts[1:-1]:
                problems.append(f"{where}: a portable file includes a win32/ header "
                                f"(only files under win32/ may)")
            if other == own:
                continue
            if RANK[other] > RANK[own]:
                problems.append(f"{where}: '{own}' may not include '{other}', which is above it "
                                f"in the layer order")
            elif RANK[other] == RANK[own]:
                problems.append(f"{where}: '{own}' may not include its sibling '{other}' "
                                f"(same layer)")
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    src = pathlib.Path(sys.argv[1])
    problems = check(src)
    for p in problems:
        print(f"layer check: {src.name}/{p}", file=sys.stderr)
    if problems:
        print(f"layer check: {len(problems)} include(s) break the layer order "
              f"(lowest first: {order_text()}); see docs/architecture.md", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
