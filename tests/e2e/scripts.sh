#!/usr/bin/env bash
# End-to-end tests of scripts under Wine: setups built by setup-builder run
# to their end; results come from the run report (/report=) and the exit code.
#
#   scripts.sh WINE-RUN ENGINE SETUP-BUILDER OUT-FOLDER MESSAGE-PROBE QOX-LIB
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
wine_run=$1 engine=$2 builder=$3 out=$4 probe=$5 qox=$6
rm -rf "$out" && mkdir -p "$out"
"$wine_run" --timeout 120 "$engine" /s >/dev/null 2>&1 || true   # makes the prefix if it is new
start_display "$wine_run"
prefix=$(dirname "$wine_run")/wineprefix
temp_unix="$prefix/drive_c/users/$(id -un)/Temp"
[ -d "$temp_unix" ] || temp_unix="$prefix/drive_c/users/$(id -un)/AppData/Local/Temp"
to_windows() { local p="$1"; printf 'Z:%s' "${p//\//\\}"; }

build_setup() {  # build_setup NAME SCRIPT
  "$builder" build "$2" --seed 5 --engine "$engine" --qox "$qox" --out "$out/$1" 2>>"$out/build.err"
}
run() {  # run NAME SETUP ARGS... -> $code, report in $out/NAME.json
  local name=$1 exe=$2; shift 2
  rm -f "$out/$name.json"
  "$wine_run" --timeout 60 --code-file "$out/$name.code" "$exe" "/report=$(to_windows "$out/$name.json")" "$@" \
      >/dev/null 2>"$out/$name.err"
  code=$(cat "$out/$name.code")
}
report() {  # report NAME PYTHON-EXPRESSION -> prints its value (r is the report, v its variables)
  python3 -c 'import json,sys; r=json.load(open(sys.argv[1], encoding="utf-8")); v=r.get("variables",{}); print(eval(sys.argv[2]))' \
      "$out/$1.json" "$2" 2>&1
}

build_setup flow "$here/scripts/flow.vms"

# -- A whole run: loops, conditions, variable commands.
run flow "$out/flow/setup.exe" /s
check "flow setup exits with 0 (got $code)" test "$code" = 0
check "the report says the run completed" test "$(report flow 'r["end"]')" = completed
check "loops and Break ran as written (got $(report flow 'v["TRAIL"]'))" test "$(report flow 'v["TRAIL"]')" = 1a1b2a2b3a3b
check "Parse String split at the last '='" test "$(report flow 'v["LEFT"] + "|" + v["RIGHT"]')" = "first=second|third"
check "the first command sees the predefined variables" \
  test "$(report flow 'all(k in v for k in ["EXEDIR","TEMPDIR","SUPPORTDIR","MSIFILE","ALLUSERS","WIZARD"])')" = True
check "TITLE and VERSION come from the container" test "$(report flow 'v["TITLE"] + " " + v["VERSION"]')" = "Flow Test 2.0.0.0"
check "Extract Path gives the temporary folder" test "$(report flow 'v["FIRSTDIR"] == v["TEMPDIR"]')" = True
check "Get Temporary File made a qox file in the temporary folder" \
  test "$(report flow 'v["TMPFILE"].startswith(v["TEMPDIR"] + "qox") and v["TMPFILE"].lower().endswith(".tmp")')" = True
check "Convert Path resolves a relative path against SETUPPATH, with the names on disk (got $(report flow 'v["RELATIVE"]'))" \
  test "$(report flow 'v["RELATIVE"] == v["EXEDIR"] + "data"')" = True
check "Convert Path of a path that does not exist gives the empty text" test "$(report flow 'repr(v["MISSING"])')" = "''"
check "passwords are masked in the report" test "$(report flow 'v["DB_PASSWORD"]')" = "********"
check "the report names the setup" test "$(report flow 'r["setup"]["title"]')" = "Flow Test"
rm -f "$temp_unix"/qox*.tmp

# -- Command-line values: protected on a silent run, not on an interactive one.
run silent "$out/flow/setup.exe" /s "TARGETDIR=D:\\Given"
check "a silent run keeps the command line's TARGETDIR" test "$(report silent 'v["TARGETDIR"]')" = 'D:\Given'
run interactive "$out/flow/setup.exe" "TARGETDIR=D:\\Given"
check "an interactive run lets the script change it" test "$(report interactive 'v["TARGETDIR"]')" = 'C:\From Script'
rm -f "$temp_unix"/qox*.tmp

# -- Terminate with Exit Code: the code comes through whole.
run exit "$out/flow/setup.exe" /s EXITWITH=1603
check "Terminate with Exit Code ends with 1603 (got $code)" test "$code" = 1603
check "the report says terminated with 1603" test "$(report exit 'r["end"] + " " + str(r["exitCode"])')" = "terminated 1603"
rm -f "$temp_unix"/qox*.tmp

# -- A runtime error: the exit code stays, the report names the line.
run error "$out/flow/setup.exe" /s BREAKME=1
check "a runtime error keeps exit code 0 (got $code)" test "$code" = 0
check "the report names the runtime error's file and line" \
  test "$(report error 'r["end"] + " " + r["error"]["sourceFile"] + " " + str(r["error"]["line"])')" = "runtimeError flow 84"
box=$("$wine_run" --xvfb --timeout 90 --code-file "$out/error-box.code" "$probe" 30 "$(to_windows "$out/flow/setup.exe")" BREAKME=1 2>/dev/null | tr -d '\r')
expected_box=$(cat <<'BOX'
caption: Flow Test - Velmora Wizard
text: Runtime error in setup script:

Source File: flow
Line Number: 84

'not a number' is not a valid integer value
BOX
)
check "an interactive runtime error shows its box (got: $box)" test "$box" = "$expected_box"
rm -f "$temp_unix"/qox*.tmp

# -- A script that does not compile: 314, nothing runs. setup-builder refuses
# such a script, so a built container is changed afterwards.
cp -r "$out/flow" "$out/broken"
python3 - "$out/broken/setup.exe" <<'PY'
import sys
p = sys.argv[1]
b = open(p, 'rb').read()
i = b.index(b'\r\nWend\r\n')
open(p, 'wb').write(b[:i] + b'\r\nNext\r\n' + b[i + 8:])
PY
run broken "$out/broken/setup.exe" /s
check "a script that does not compile ends with 314 (got $code)" test "$code" = 314
check "the report gives the compile error" test "$(report broken 'r["end"] + ": " + r["error"]["message"]')" = \
  "compileError: FOR EACH loop closed outside of FOR EACH loop scope"
check "nothing ran" test "$(report broken '"TRAIL" in v')" = False

# -- A second instance of a single-instance build ends at once with 0.
printf 'title Single\nrevision-code {0B1C2D3E-4F50-4617-8293-A4B5C6D7E8F9}\nsetting SINGLEINSTANCE true\ncommand Set Variable\n | RAN\n | yes\n' > "$out/single.vms"
build_setup single "$out/single.vms"
touch "$temp_unix/{0B1C2D3E-4F50-4617-8293-A4B5C6D7E8F9}.qox"
run second "$out/single/setup.exe" /s
check "a second instance exits with 0 (got $code)" test "$code" = 0
check "a second instance runs nothing" test "$(report second 'r["end"] + " " + str("RAN" in v)')" = "secondInstance False"
rm -f "$temp_unix/{0B1C2D3E-4F50-4617-8293-A4B5C6D7E8F9}.qox"
run first "$out/single/setup.exe" /s
check "the first instance runs" test "$(report first 'v["RAN"]')" = yes
check "the first instance removes its marker" test ! -e "$temp_unix/{0B1C2D3E-4F50-4617-8293-A4B5C6D7E8F9}.qox"

# -- A start-up failure is reported too.
run bare "$engine" /s
check "a bare engine's report says startupFailure with 13" \
  test "$(report bare 'r["end"] + " " + str(r["exitCode"]) + " " + r["error"]["message"]')" = "startupFailure 13 For internal use only"

finish
