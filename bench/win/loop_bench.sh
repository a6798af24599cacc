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
"$build/win/wine-run" "$build/win/setup.exe" /s >/dev/null 2>&1 || true  # a warm wineserver for both
ours=$(seconds "$out/ours/setup.exe" /s)
nsis=$(seconds "$out/nsis-loop.exe" /S)
printf 'iterations: %d\nours: %.3f s\nNSIS: %.3f s\nratio (ours / NSIS): %.2f\n' "$n" "$ours" "$nsis" "$(echo "$ours / $nsis" | bc -l)"
