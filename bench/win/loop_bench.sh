#!/usr/bin/env bash
# The interpreter loop under Wine: a While loop of 1,000,000 iterations doing
# one Mathematics addition and one If, against the same loop written for
# NSIS (IntOp and IntCmp), run in the same Wine prefix. Prints both times and
# their ratio (ours / NSIS).
#   bench/win/loop_bench.sh [ITERATIONS]     (needs Debian's nsis package: makensis)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELMORA_BUILD:-$root/build}
n=${1:-1000000}
out="$build/bench-loop"
rm -rf "$out" && mkdir -p "$out"
command -v makensis >/dev/null || { echo "makensis is missing: apt-get install nsis" >&2; exit 2; }

cat > "$out/loop.vms" <<VMS
title Loop Benchmark
command Set Variable
  | N
  | 0
command While
  | N
  | 0
  | $n
  | TRUE
command Mathematics
  | \$N\$
  | 1
  | 0
  | N
command If
  | N
  | 0
  | 500000
  | FALSE
command Set Variable
  | HALF
  | yes
command End
command Wend
VMS
"$build/host/setup-builder" build "$out/loop.vms" --engine "$build/win/setup.exe" --qox "$build/win/qox.lib" --out "$out/ours"

cat > "$out/loop.nsi" <<NSI
Unicode true
OutFile "$out/nsis-loop.exe"
SilentInstall silent
RequestExecutionLevel user
Section
  StrCpy \$0 0
  loop:
    IntOp \$0 \$0 + 1
    IntCmp \$0 500000 0 next next
      StrCpy \$1 "yes"
    next:
    IntCmp \$0 $n done loop loop
  done:
SectionEnd
NSI
makensis -V1 "$out/loop.nsi"

seconds() {  # seconds PROGRAM ARGS... : wall time of a run under the harness
  local start end
  start=$(date +%s.%N)
  "$build/win/wine-run" --timeout 600 "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Both programs run once untimed first: the first Wine process after a
# fresh wineserver starts the prefix's desktop and services, and the first
# run of each program pays for reading it from disk. Then the two take turns
# (so that a slow moment of the machine falls on both) and each gets the
# median of its runs.
runs=${VELMORA_BENCH_RUNS:-5}
"$build/win/wine-run" "$out/ours/setup.exe" /s >/dev/null 2>&1 || true
"$build/win/wine-run" "$out/nsis-loop.exe" /S >/dev/null 2>&1 || true
: > "$out/ours.times"; : > "$out/nsis.times"
for _ in $(seq "$runs"); do
  seconds "$out/ours/setup.exe" /s >> "$out/ours.times"
  seconds "$out/nsis-loop.exe" /S >> "$out/nsis.times"
done
ours=$(median < "$out/ours.times")
nsis=$(median < "$out/nsis.times")
printf 'iterations: %d (median of %d runs each)\nours: %.3f s\nNSIS: %.3f s\nratio (ours / NSIS): %.2f\n' \
  "$n" "$runs" "$ours" "$nsis" "$(echo "$ours / $nsis" | bc -l)"
