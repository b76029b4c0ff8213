#!/usr/bin/env bash
# A long fuzz run, kept: each libFuzzer target in turn (all of them by default) for N
# minutes, starting from its seeds; then the inputs that reached new code are merged,
# minimised, into the seed corpus under tests/fuzz/corpus/<target>/. Prints executions,
# findings and what the merge added per target. Findings (crashes, leaks, time-outs,
# memory blow-ups) stay under build/fuzz/findings/; they are never merged.
#   scripts/fuzz.sh [--minutes N] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

minutes=10
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes="$2"; shift 2 ;;
    --minutes=*) minutes="${1#*=}"; shift ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
# libFuzzer takes a time of 0 as no limit: at least one minute.
case "$minutes" in ''|*[!0-9]*) minutes=0 ;; esac
if [ $((10#$minutes)) -lt 1 ]; then echo "fuzz.sh: --minutes takes a whole number from 1" >&2; exit 2; fi
minutes=$((10#$minutes))

# Every target the fuzz lists declare ("name" or "name dictionary" per line).
declare -A dict=()
all=()
while read -r name file; do
  all+=("$name")
  [ -n "$file" ] && dict[$name]="$file"
done < <(python3 - "$root/tests/fuzz" <<'PY'
import pathlib, re, sys
folder = pathlib.Path(sys.argv[1])
for cmake in sorted(folder.glob("*.cmake")):
    for call in re.findall(r"qv_add_fuzzer\(([^)]*)\)", cmake.read_text()):
        words = call.split()
        d = words[words.index("DICT") + 1] if "DICT" in words else ""
        d = re.sub(r"\$\{CMAKE_CURRENT_(LIST|SOURCE)_DIR\}", str(folder), d)
        print(words[0], d)
PY
)
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
for t in "${targets[@]}"; do
  [[ " ${all[*]} " == *" $t "* ]] || { echo "fuzz.sh: no target $t (targets: ${all[*]})" >&2; exit 2; }
done

if [ ! -f build/fuzz/CMakeCache.txt ]; then cmake --preset fuzz > /dev/null; fi
cmake --build build/fuzz -j2 --target "${targets[@]}" > /dev/null

mkdir -p build/fuzz/findings
summary=()
for t in "${targets[@]}"; do
  bin="build/fuzz/tests/fuzz/$t"
  seeds="tests/fuzz/corpus/$t"
  work="build/fuzz/corpus/$t"
  mkdir -p "$seeds" "$work"
  args=(-max_total_time=$((minutes * 60)) -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
        -artifact_prefix="build/fuzz/findings/$t-")
  [ -n "${dict[$t]:-}" ] && args+=(-dict="${dict[$t]}")
  before=$(ls build/fuzz/findings | grep -c "^$t-" || true)
  log="build/fuzz/findings/$t.log"
  echo "fuzz: $t for $minutes min"
  "$bin" "${args[@]}" "$work" "$seeds" > "$log" 2>&1 || true
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  after=$(ls build/fuzz/findings | grep -c "^$t-" || true)
  found=$((after - before))
  # What reached new code joins the seeds, minimised: only the smallest inputs that add
  # an edge the seeds miss (edges alone, not hit counts, keep the set small).
  seeds_before=$(ls "$seeds" | wc -l)
  "$bin" -merge=1 -use_counters=0 -rss_limit_mb=2048 -timeout=10 "$seeds" "$work" >> "$log" 2>&1 || true
  seeds_after=$(ls "$seeds" | wc -l)
  size=$(cat "$seeds"/* | wc -c)
  line="$t: ${execs:-0} executions, $found findings, seeds $seeds_before -> $seeds_after ($((size / 1024)) KiB)"
  [ "$found" -gt 0 ] && line+="; see build/fuzz/findings/$t-*"
  echo "$line"
  summary+=("$line")
done
echo "fuzz summary ($minutes min per target):"
printf '  %s\n' "${summary[@]}"
