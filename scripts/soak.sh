#!/usr/bin/env bash
# Plays the demo saver with its sounds and loopback news feeds under Wine for a while
# and fails when what the process holds grows (memory, handles, GDI and USER objects).
#   scripts/soak.sh [--minutes N]      (default 20; needs build/win64 built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec python3 "$root/scripts/soak.py" "$@"
