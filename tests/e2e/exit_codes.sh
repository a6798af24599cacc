#!/usr/bin/env bash
# The Wine harness hands back exit codes above 255 whole.
#   exit_codes.sh WINE-RUN EXIT-WITH-EXE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
wine_run=$1 program=$2
file=$(mktemp)
for c in 0 7 255 256 314 1603 3010 4294967295; do
  "$wine_run" --code-file "$file" "$program" "$c"
  status=$?
  expected_status=$(( c <= 255 ? c : 255 ))
  check "exit code $c is reported whole (got $(cat "$file"))" test "$(cat "$file")" = "$c"
  check "exit code $c gives status $expected_status (got $status)" test "$status" = "$expected_status"
done
rm -f "$file"
finish
