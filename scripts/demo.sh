#!/usr/bin/env bash
# Builds the runtime, the author tools and the demo saver (build/win64/demo.scr, made
# from examples/demo), and plays it full screen under Wine for a few seconds. Leaves in
# build/demo/:
#   screenshot.png     the full-screen saver under Wine
#   frames/            frames of the same scene from the headless renderer
#   scripts/demo.sh [--display] [--seconds N] [--feed]
# --display shows it on your own X display ($DISPLAY) instead of a private Xvfb.
# --feed serves sample feeds of ours on loopback; their headlines slide in over the demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/bootstrap.sh"
"$root/scripts/deps.sh" x86_64-w64-mingw32
# The author tools first: the Windows build packs the demo saver with them.
cmake --preset native > /dev/null
cmake --build build/native -j"$(nproc)" --target quorvex-pack quorvex-render
cmake --preset win64 > /dev/null
cmake --build build/win64 -j"$(nproc)" --target quorvex qvwin qvpreviewhost demo

out=build/demo
rm -rf "$out/frames"
build/native/quorvex-render build/win64/demo.scr --out "$out/frames" --ticks 200 --every 50
exec python3 "$root/scripts/demo.py" --saver build/win64/demo.scr "$@"
