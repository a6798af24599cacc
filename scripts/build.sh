#!/usr/bin/env bash
# Configures (once) and builds both trees: the host tree (core, setup-builder,
# native tests, benchmarks) and the Windows tree (engine, Windows tests).
#   VELMORA_BUILD=<folder> puts the trees elsewhere (default: build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD:-$root/build}
jobs=${VELMORA_JOBS:-2}

if [ ! -f "$build/host/build.ninja" ]; then
  cmake -S "$root" -B "$build/host" -G Ninja >/dev/null
fi
ninja -C "$build/host" -j "$jobs" | grep -v '^\[' || true
test -x "$build/host/setup-builder"

if [ ! -f "$build/win/build.ninja" ]; then
  cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DVELMORA_HOST_BUILDER="$build/host/setup-builder" >/dev/null
fi
ninja -C "$build/win" -j "$jobs" | grep -v '^\[' || true
test -f "$build/win/setup.exe"
