#!/usr/bin/env bash
# Installs what is missing, builds both trees and runs every test.
# Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD:-$root/build}

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"

status=0
echo "== host tests (native, sanitizers)"
ctest --test-dir "$build/host" --output-on-failure -j 2 || status=1
echo "== Windows tests (under Wine)"
ctest --test-dir "$build/win" --output-on-failure -j 2 || status=1
exit $status
