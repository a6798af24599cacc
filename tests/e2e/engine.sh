#!/usr/bin/env bash
# End-to-end tests of the engine's start-up under Wine: setups built by
# setup-builder, judged by exit code, trace log, message boxes and the files
# left in the temporary folder.
#
#   engine.sh WINE-RUN ENGINE SETUP-BUILDER OUT-FOLDER MESSAGE-PROBE QOX-LIB
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
wine_run=$1 engine=$2 builder=$3 out=$4 probe=$5 qox=$6

prefix=$(dirname "$wine_run")/wineprefix
# The engine lower-cases the /l= path, so traces go to a lower-case folder on C:.
traces_unix="$prefix/drive_c/velmora-e2e"
traces_win='c:\velmora-e2e'

rm -rf "$out" && mkdir -p "$out"
"$wine_run" --timeout 120 "$engine" /s >/dev/null 2>&1 || true   # makes the prefix if it is new
start_display "$wine_run"
# The user's temporary folder, as Wine sets TEMP for a new prefix.
temp_unix="$prefix/drive_c/users/$(id -un)/Temp"
[ -d "$temp_unix" ] || temp_unix="$prefix/drive_c/users/$(id -un)/AppData/Local/Temp"
mkdir -p "$traces_unix" "$temp_unix" && rm -f "$traces_unix"/*
clean_temp() { rm -rf "$temp_unix"/qox*; }

run() {  # run NAME EXE ARGS... -> exit code in $code
  local name=$1 exe=$2; shift 2
  "$wine_run" --timeout 60 --code-file "$out/$name.code" "$exe" "$@" >/dev/null 2>"$out/$name.err"
  code=$(cat "$out/$name.code")
}

# An interactive run under Xvfb: the probe prints the message box it finds
# and presses OK. -> exit code in $code, the box in $box.
run_interactive() {  # run_interactive NAME EXE ARGS...
  local name=$1 exe=$2; shift 2
  box=$("$wine_run" --xvfb --timeout 90 --code-file "$out/$name.code" "$probe" 30 "$(to_windows "$exe")" "$@" 2>"$out/$name.err" | tr -d '\r')
  code=$(cat "$out/$name.code")
}
to_windows() { local p="$1"; printf 'Z:%s' "${p//\//\\}"; }

build_setup() {  # build_setup NAME SCRIPT [builder options...]
  local name=$1 script=$2; shift 2
  "$builder" build "$script" --seed 1 --engine "$engine" --qox "$qox" --out "$out/$name" "$@" 2>>"$out/build.err"
}

start_tags=$'<Velmora>\n    <SupportDir>\n    </SupportDir>\n  <SetupSplash>'

# -- No container: 13, silently and with its message box.
clean_temp
run bare "$engine" /s "/l=$traces_win\\bare.log"
check "bare engine exits with 13 (got $code)" test "$code" = 13
check "bare engine traces up to the stub size" test "$(trace_text "$traces_unix/bare.log")" = "$start_tags"$'\n    <StubSize>'
check "bare engine leaves its support folder" test -d "$temp_unix/qox1"
run_interactive bare-interactive "$engine"
check "interactive bare engine exits with 13 (got $code)" test "$code" = 13
check "interactive bare engine says so (got: $box)" test "$box" = $'caption: Velmora Wizard\ntext: For internal use only'

# -- A normal run: every start-up tag in order, nothing left behind.
support="$out/support-basic"
mkdir -p "$support/pages/Déjà vu" && echo page > "$support/pages/Déjà vu/Welcome.dfm"
deep="$support"; for i in $(seq 1 12); do deep="$deep/a-rather-long-folder-name-number-$i"; done
mkdir -p "$deep" && echo deep > "$deep/file-at-the-bottom-of-a-long-path.txt"
build_setup basic "$here/scripts/basic.vms" --support "$support"
check "setup-builder builds the basic setup" test -f "$out/basic/setup.exe" -a -f "$out/basic/setup.res" -a -f "$out/basic/qox.lib"
clean_temp
before=$(ls -A "$temp_unix" | sort)
run basic "$out/basic/setup.exe" /s "/L=$traces_win\\Basic.LOG" TARGETDIR=x
check "basic setup exits with 0 (got $code)" test "$code" = 0
expected=$(cat <<'TRACE'
<Velmora>
    <SupportDir>
    </SupportDir>
  <SetupSplash>
    <StubSize>
    </StubSize>
    <StubData>
    </StubData>
    <GlobalLists>
    </GlobalLists>
    <ExtractArchive>
    </ExtractArchive>
    <ResourcePath>
    </ResourcePath>
    <Dialogs>
    </Dialogs>
  </SetupSplash>
  <RunScript>
    <Variables>
    </Variables>
    <CompileScript>
    </CompileScript>
    <BootStrap>
    </BootStrap>
    <vorp>
    </vorp>
    <ExitScript>
    </ExitScript>
  </RunScript>
  <Free>
  </Free>
  <CachedSupportDir>
  </CachedSupportDir>
</Velmora>
TRACE
)
check "basic setup traces every start-up tag in order" test "$(trace_text "$traces_unix/basic.log")" = "$expected"
check "a normal run leaves nothing in the temporary folder (support folder, qox.tmp, lang.loc)" \
  test "$(ls -A "$temp_unix" | sort)" = "$before"

# -- Built-in message translations appended to qox.lib: written to lang.loc,
# handed on and deleted; the library still loads with them.
cp -r "$out/basic" "$out/langloc"
printf 'translations of the built-in messages' >> "$out/langloc/qox.lib"
clean_temp
run langloc "$out/langloc/setup.exe" /s
check "a setup whose qox.lib carries translations exits with 0 (got $code)" test "$code" = 0
check "lang.loc is gone after the run" test ! -e "$temp_unix/lang.loc"

# -- A signed setup reads its container normally.
if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
  openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Velmora Test" -days 2 \
      -keyout "$out/key.pem" -out "$out/cert.pem" >/dev/null 2>&1
  osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -n "Sample" \
      -in "$out/basic/setup.exe" -out "$out/basic/signed.exe" >/dev/null 2>&1
  cp "$out/basic/setup.res" "$out/basic/signed.res"
  check "osslsigncode signed the setup" test -s "$out/basic/signed.exe"
  run signed "$out/basic/signed.exe" /s "/l=$traces_win\\signed.log"
  check "signed setup exits with 0 (got $code)" test "$code" = 0
  check "signed setup runs its script" test "$(trace_text "$traces_unix/signed.log" | grep -c '<vorp>')" = 1
else
  check "osslsigncode and openssl are installed" false
fi

# -- No support archive: 14, and the support folder stays.
build_setup nores "$here/scripts/basic.vms"
rm -f "$out/nores/setup.res"
clean_temp
run nores "$out/nores/setup.exe" /s "/l=$traces_win\\nores.log"
check "missing support archive exits with 14 (got $code)" test "$code" = 14
check "missing support archive stops the trace at the archive" \
  test "$(trace_text "$traces_unix/nores.log" | tail -n 1)" = "    <ExtractArchive>"
check "exit 14 leaves the support folder" test -d "$temp_unix/qox1"
run_interactive nores-interactive "$out/nores/setup.exe"
check "interactive missing archive exits with 14 (got $code)" test "$code" = 14
check "interactive missing archive says so (got: $box)" test "$box" = $'caption: Velmora Wizard\ntext: Setup resource not found'

# -- A support archive that cannot be unpacked: 15.
build_setup badres "$here/scripts/basic.vms"
head -c 100 "$out/basic/setup.res" > "$out/badres/setup.res"   # truncated
clean_temp
run badres "$out/badres/setup.exe" /s
check "truncated support archive exits with 15 (got $code)" test "$code" = 15
check "exit 15 leaves the support folder" test -d "$temp_unix/qox1"
run_interactive badres-interactive "$out/badres/setup.exe"
check "interactive bad archive exits with 15 (got $code)" test "$code" = 15
check "interactive bad archive says so (got: $box)" test "$box" = $'caption: Velmora Wizard\ntext: Setup resource decompression failure'

# -- Support folder names: a file "qox1" makes the run take qox2; two runs at once take qox1 and qox2.
clean_temp
touch "$temp_unix/qox1"
run badres-after-file "$out/badres/setup.exe" /s
check "a file named qox1 makes the run use qox2" test -f "$temp_unix/qox1" -a -d "$temp_unix/qox2"
clean_temp
"$wine_run" --timeout 60 --code-file "$out/twice-1.code" "$out/badres/setup.exe" /s >/dev/null 2>&1 &
first=$!
"$wine_run" --timeout 60 --code-file "$out/twice-2.code" "$out/badres/setup.exe" /s >/dev/null 2>&1 &
second=$!
wait "$first" "$second"
check "two runs at once get qox1 and qox2 (exit codes $(cat "$out"/twice-*.code | tr '\n' ' '), temp: $(ls "$temp_unix" | tr '\n' ' '))" \
  test -d "$temp_unix/qox1" -a -d "$temp_unix/qox2"
check "two runs at once both reach the support archive" test "$(cat "$out"/twice-*.code | sort -u)" = 15

# -- An error after the container is read: 11, and the support folder is removed all the same.
mkdir -p "$out/support-msi/setup.msi"
echo x > "$out/support-msi/setup.msi/blocker.txt"
build_setup msi "$here/scripts/basic.vms" --support "$out/support-msi" --msi "$out/support-msi/setup.msi/blocker.txt"
clean_temp
run msi "$out/msi/setup.exe" /s "/l=$traces_win\\msi.log"
check "a failed installer-package copy exits with 11 (got $code)" test "$code" = 11
check "exit 11 stops the trace in the copy and then cleans up" \
  test "$(trace_text "$traces_unix/msi.log" | tail -n 4)" = $'    <ResourcePath>\n  <CachedSupportDir>\n  </CachedSupportDir>\n</Velmora>'
check "exit 11 removes the support folder" test ! -e "$temp_unix/qox1"
run_interactive msi-interactive "$out/msi/setup.exe"
check "interactive exit 11 (got $code)" test "$code" = 11
check "interactive exit 11 shows the runtime error (got: $box)" \
  test "$(printf '%s\n' "$box" | head -n 2 | cut -c1-32)" = $'caption: Velmora Wizard\ntext: Runtime error in install: '

# -- A broken container is an unexpected error: 11.
printf 'media-mode 1\n' > "$out/broken.vms"
build_setup broken "$out/broken.vms"
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
  test "$(trace_text "$traces_unix/broken.log" | sed -n 9p)" = "    <GlobalLists>"

# -- No /l= switch: no trace file.
n_before=$(ls "$traces_unix" | wc -l)
run quiet "$out/basic/setup.exe" /s
check "a run without /l= exits with 0 (got $code)" test "$code" = 0
check "a run without /l= writes no trace" test "$(ls "$traces_unix" | wc -l)" = "$n_before"

clean_temp
finish
