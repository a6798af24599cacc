#!/usr/bin/env bash
# Builds everything, makes the example setup with setup-builder and runs it
# silently under Wine: prints its exit code and its trace log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD:-$root/build}

bash "$root/scripts/build.sh"
out="$build/demo"
rm -rf "$out"
"$build/host/setup-builder" build "$root/examples/sample.vms" --engine "$build/win/setup.exe" \
    --qox "$build/win/qox.lib" --support "$root/examples/support" --out "$out"
echo "built $out/setup.exe ($(stat -c %s "$out/setup.exe") bytes) and $out/setup.res"

# The engine lower-cases the /l= path: keep the trace on the prefix's C: drive.
prefix="$build/win/wineprefix"
"$build/win/wine-run" --timeout 120 "$build/win/setup.exe" /s >/dev/null 2>&1 || true  # makes the prefix
mkdir -p "$prefix/drive_c/velmora-demo"
trace="$prefix/drive_c/velmora-demo/trace.log"
rm -f "$trace"
set +e
report="$out/report.json"
"$build/win/wine-run" --timeout 120 --code-file "$out/exit-code" "$out/setup.exe" /s '/l=c:\velmora-demo\trace.log' \
    "/report=Z:${report//\//\\}"
set -e
echo "exit code: $(cat "$out/exit-code")"
echo "trace log:"
iconv -f UTF-16LE -t UTF-8 "$trace" | tr -d '\r'
echo "run report ($report), the script's own variables:"
python3 - "$report" <<'PY'
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
print(f"  end: {r['end']}, exit code {r['exitCode']}, setup {r['setup'].get('title')} {r['setup'].get('version')}")
for name in ("TARGETDIR", "COUNT", "SUMMARY", "MAJOR", "MINOR", "ALLGOOD"):
    print(f"  {name} = {r['variables'].get(name)}")
PY
