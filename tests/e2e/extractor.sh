#!/usr/bin/env bash
# The engine as another engine's out-of-process extractor:
#   setup.exe OutOfProcessExtract "<parameter file>"
# exits 1 without a parameter file, 2 when the archive is missing, and 0
# after an extraction, with the error text (empty) as the file's only line.
#
#   extractor.sh WINE-RUN ENGINE OUT-FOLDER
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
wine_run=$1 engine=$2 out=$3
rm -rf "$out" && mkdir -p "$out/src/sub"

win() { printf 'Z:%s' "${1//\//\\}"; }
run() {  # run NAME ARGS... -> exit code in $code
  local name=$1; shift
  "$wine_run" --timeout 60 --code-file "$out/$name.code" "$engine" "$@" >/dev/null 2>"$out/$name.err"
  code=$(cat "$out/$name.code")
}

run noargs OutOfProcessExtract
check "no parameter file argument exits with 1 (got $code)" test "$code" = 1
run nofile OutOfProcessExtract "$(win "$out/missing-parameters")"
check "a missing parameter file exits with 1 (got $code)" test "$code" = 1

printf '%s\r\n' "$(win "$out/missing.7z")" "" "$(win "$out/dest")" TRUE TRUE > "$out/params-missing"
run noarchive OutOfProcessExtract "$(win "$out/params-missing")"
check "a missing archive exits with 2 (got $code)" test "$code" = 2
check "nothing was extracted for a missing archive" test ! -e "$out/dest"

printf 'first\n' > "$out/src/first.txt"
printf 'deep\n' > "$out/src/sub/deep.txt"
printf 'caf\xc3\xa9\n' > "$out/src/sub/café.txt"
( cd "$out/src" && 7zz a -bso0 -bsp0 -t7z -p'pw 1' -mhe=on ../media.7z . )
printf '\xef\xbb\xbf%s\r\n' "$(win "$out/media.7z")" > "$out/params"
printf '%s\r\n' 'pw 1' "$(win "$out/dest")" FALSE TRUE >> "$out/params"
printf '%s\r\n' 'sub\café.txt' 'first.txt' > "$out/paramsitems"
run extract OutOfProcessExtract "$(win "$out/params")"
check "an extraction exits with 0 (got $code)" test "$code" = 0
check "the parameter file holds one empty line" test "$(od -An -c "$out/params" | tr -d ' ')" = '\r\n'
check "the listed items were extracted without their folders" \
  test "$(cd "$out/dest" && find . -type f | sort | tr '\n' ' ')" = "./café.txt ./first.txt "
check "Unicode item came out byte for byte" cmp -s "$out/dest/café.txt" "$out/src/sub/café.txt"

printf '%s\r\n' "$(win "$out/media.7z")" 'wrong' "$(win "$out/dest2")" TRUE TRUE > "$out/params2"
run wrong OutOfProcessExtract "$(win "$out/params2")"
check "a failed extraction still exits with 0 (got $code)" test "$code" = 0
check "its error text is the parameter file's line" test "$(tr -d '\r\n' < "$out/params2")" = '#1004'

finish
