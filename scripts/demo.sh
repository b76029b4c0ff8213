#!/usr/bin/env bash
# Builds the runtime and the author tools, makes the demo saver from examples/demo, and
# plays it full screen under Wine for a few seconds. Leaves in build/demo/:
#   quorvex-demo.scr   the demo saver (64-bit runtime + package)
#   screenshot.png     the full-screen saver under Wine
#   frames/            a few frames of the same scene from the headless renderer
#   scripts/demo.sh [--display] [--seconds N]
# --display shows it on your own X display ($DISPLAY) instead of a private Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

"$root/scripts/bootstrap.sh"
"$root/scripts/deps.sh" x86_64-w64-mingw32
for preset in native win64; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" > /dev/null
done
cmake --build build/native -j"$(nproc)" --target quorvex-pack quorvex-render
cmake --build build/win64 -j"$(nproc)" --target quorvex qvwin qvpreviewhost

out=build/demo
mkdir -p "$out/saver"
python3 examples/demo/make_media.py "$out/saver/media"
cp examples/demo/demo.toml "$out/saver/demo.toml"
build/native/quorvex-pack "$out/saver/demo.toml" --runtime build/win64/quorvex.scr -o "$out/quorvex-demo.scr"
rm -rf "$out/frames"
build/native/quorvex-render "$out/quorvex-demo.scr" -o "$out/frames" --frames 5 --every 50
exec python3 "$root/scripts/demo.py" --saver "$out/quorvex-demo.scr" "$@"
