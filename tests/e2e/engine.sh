#!/usr/bin/env bash
# End-to-end tests of the engine under Wine: setups built by setup-builder,
# run silently, judged by exit code, trace log and files left behind.
#
#   engine.sh WINE-RUN ENGINE SETUP-BUILDER OUT-FOLDER
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
wine_run=$1 engine=$2 builder=$3 out=$4

prefix=$(dirname "$wine_run")/wineprefix
# The engine lower-cases the /l= path, so traces go to a lower-case folder on C:.
traces_unix="$prefix/drive_c/velmora-e2e"
traces_win='c:\velmora-e2e'
temp_unix="$prefix/drive_c/users/$(id -un)/AppData/Local/Temp"

rm -rf "$out" && mkdir -p "$out"
"$wine_run" --timeout 120 "$engine" /s >/dev/null 2>&1 || true   # makes the prefix if it is new
mkdir -p "$traces_unix" && rm -f "$traces_unix"/*

run() {  # run NAME EXE ARGS... -> exit code in $code
  local name=$1 exe=$2; shift 2
  "$wine_run" --timeout 60 --code-file "$out/$name.code" "$exe" "$@" >/dev/null 2>"$out/$name.err"
  code=$(cat "$out/$name.code")
}

# 1. A bare engine carries no container: exit code 13, silently.
run bare "$engine" /s "/l=$traces_win\\bare.log"
check "bare engine exits with 13 (got $code)" test "$code" = 13
check "bare engine traces up to the stub size" \
  test "$(trace_text "$traces_unix/bare.log")" = $'<Velmora>\n  <SetupSplash>\n    <StubSize>'

# 2. A built setup reads its own container.
"$builder" build "$here/scripts/basic.vms" --seed 1 --engine "$engine" --out "$out/basic" 2>"$out/build.err"
check "setup-builder builds the basic setup" test -f "$out/basic/setup.exe" -a -f "$out/basic/setup.res" -a -d "$out/basic/data"
before=$(ls "$temp_unix" 2>/dev/null | sort)
run basic "$out/basic/setup.exe" /s "/L=$traces_win\\Basic.LOG" TARGETDIR=x
check "basic setup exits with 0 (got $code)" test "$code" = 0
trace=$(trace_text "$traces_unix/basic.log")
expected=$(cat <<'TRACE'
<Velmora>
  <SetupSplash>
    <StubSize>
    </StubSize>
    <StubData>
    </StubData>
    <GlobalLists>
    </GlobalLists>
  </SetupSplash>
  <RunScript>
    <Container commands="4" title="Sample Product" version="1.2.3.4" product="{5A3E1C20-7B4D-4E8F-9A61-2C0D3B4E5F60}">
      <Command index="0" name="Comment" disabled="TRUE"/>
      <Command index="1" name="Set Variable"/>
      <Command index="2" name="Café Ünïcode"/>
      <Command index="3" name="End"/>
    </Container>
  </RunScript>
  <Free>
  </Free>
</Velmora>
TRACE
)
check "basic setup traces what it read of its container" test "$trace" = "$expected"
check "the container copy is gone from the temporary folder" test "$(ls "$temp_unix" 2>/dev/null | sort)" = "$before"

# 3. A signature after the container does not disturb the reader.
cp "$out/basic/setup.exe" "$out/signed.exe"
head -c 2048 /dev/urandom >> "$out/signed.exe"
run signed "$out/signed.exe" /s "/l=$traces_win\\signed.log"
check "signed setup exits with 0 (got $code)" test "$code" = 0
check "signed setup reads the same container" \
  test "$(trace_text "$traces_unix/signed.log" | grep -c '<Command ')" = 4

# 4. A broken container is an unexpected error: exit code 11.
printf 'media-mode 1\n' > "$out/broken.vms"
"$builder" build "$out/broken.vms" --engine "$engine" --out "$out/broken" 2>>"$out/build.err"
python3 - "$out/broken/setup.exe" <<'PY'
import sys
p = sys.argv[1]
b = open(p, 'rb').read()
i = b.rindex(b'\r\n1252\r\n')
open(p, 'wb').write(b[:i] + b'\r\ncp1252\r\n' + b[i + 8:])
PY
run broken "$out/broken/setup.exe" /s "/l=$traces_win\\broken.log"
check "broken container exits with 11 (got $code)" test "$code" = 11
check "broken container stops the trace in the container read" \
  test "$(trace_text "$traces_unix/broken.log" | tail -n 2 | head -n 1)" = "    <GlobalLists>"

# 5. No /l= switch: no trace file anywhere in the traces folder.
n_before=$(ls "$traces_unix" | wc -l)
run quiet "$out/basic/setup.exe" /s
check "a run without /l= exits with 0 (got $code)" test "$code" = 0
check "a run without /l= writes no trace" test "$(ls "$traces_unix" | wc -l)" = "$n_before"

finish
