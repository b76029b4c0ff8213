#!/usr/bin/env bash
# Checks the Windows executables: the right PE kind, a GUI program, and no DLL imports
# beyond the ones every Windows installation has.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|COMCTL32|WINMM|MSVCRT|OLE32|OLEAUT32|WS2_32|COMDLG32|VERSION|IMM32|SHLWAPI|UCRTBASE|api-ms-win-crt-[a-z0-9-]+)\.dll$'
status=0
check() {
  local file=$1 kind=$2 triplet=$3
  if [ ! -f "$file" ]; then echo "missing: $file"; status=1; return; fi
  local desc; desc=$(file -b "$file")
  case "$desc" in
    "$kind"*"(GUI)"*) ;;
    *) echo "$file: expected $kind GUI, got: $desc"; status=1 ;;
  esac
  local dlls; dlls=$("$triplet-objdump" -p "$file" | awk '/DLL Name:/ {print $3}')
  local bad; bad=$(echo "$dlls" | grep -viE "$allowed" || true)
  if [ -n "$bad" ]; then echo "$file imports non-system DLLs: $bad"; status=1; fi
  echo "$(basename "$(dirname "$file")")/$(basename "$file"): $desc; imports: $(echo $dlls)"
}
check "$root/build/win32/quorvex.scr" "PE32 executable" i686-w64-mingw32
check "$root/build/win64/quorvex.scr" "PE32+ executable" x86_64-w64-mingw32
exit $status
