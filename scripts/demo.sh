#!/usr/bin/env bash
# Builds the Windows runtime and plays the saver full screen under Wine for a few
# seconds, leaving a screenshot in build/demo/screenshot.png.
#   scripts/demo.sh [--display] [--seconds N]
# --display shows it on your own X display ($DISPLAY) instead of a private Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" win64
exec python3 "$root/scripts/demo.py" "$@"
