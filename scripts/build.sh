#!/usr/bin/env bash
# Configures (once) and builds the given presets; all of them when none is named.
#   scripts/build.sh [native] [native-asan] [win64] [win32] [native-i686]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan win64 win32)

"$root/scripts/bootstrap.sh"
for preset in "${presets[@]}"; do
  case "$preset" in
    win64) "$root/scripts/deps.sh" x86_64-w64-mingw32 ;;
    win32) "$root/scripts/deps.sh" i686-w64-mingw32 ;;
    native-i686) "$root/scripts/deps.sh" i686-linux-gnu ;;
  esac
  if [ ! -f "build/$preset/CMakeCache.txt" ]; then
    cmake --preset "$preset" > /dev/null
  fi
  echo "build: $preset"
  cmake --build "build/$preset" -j"$(nproc)"
done
