#!/usr/bin/env bash
# Every test: installs what is missing, builds all presets, then runs the native unit
# tests, the sanitized unit tests, the unit tests under Wine, the 32-bit core's unit
# tests and fuzz corpora under qemu-i386 and the Wine end-to-end tests as one CTest run,
# so the last line is CTest's summary of all of them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

start=$(date +%s)
"$root/scripts/build.sh" native native-asan fuzz win64 win32 native-i686

# The 32-bit runtime cannot run here (no 32-bit Wine); check what it is instead.
"$root/scripts/check_binaries.sh"

# One CTest tree over the three build trees that have tests.
mkdir -p build/all
cat > build/all/CTestTestfile.cmake <<CTEST
subdirs("$root/build/native")
subdirs("$root/build/native-asan")
subdirs("$root/build/fuzz")
subdirs("$root/build/win64")
subdirs("$root/build/native-i686")
CTEST
echo "build and checks took $(( $(date +%s) - start ))s"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build/all
exec ctest --output-on-failure -j2 --timeout 900 "$@"
