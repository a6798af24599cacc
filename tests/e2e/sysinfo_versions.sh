#!/usr/bin/env bash
# The version queries with the prefix posing as Windows XP, 7, 10 and 2008:
# one scratch copy of the build tree's prefix is switched with winecfg to each
# version in turn, and the probe prints the level name and the version record.
#   sysinfo_versions.sh WINE-RUN SYSINFO-PROBE-EXE TEMPLATE-PREFIX
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
wine_run=$1 probe=$2 template=$3

# The first run makes the template prefix when the tree has none yet.
"$wine_run" "$probe" >/dev/null || { echo "FAILED: the probe does not run in the template prefix" >&2; exit 1; }
WINEPREFIX="$template" wineserver -w 2>/dev/null || true
template=$(cd "$template" && pwd)  # Wine takes only absolute prefix paths

scratch="$template-sysinfo"
cleanup() {
  if [ -d "$scratch" ]; then
    WINEPREFIX="$scratch" wineserver -k 2>/dev/null || true
    WINEPREFIX="$scratch" wineserver -w 2>/dev/null || true
    rm -rf "$scratch"
  fi
}
trap cleanup EXIT

field() { sed -n "s/^$1=//p" <<<"$2" | tr -d '\r'; }

# run_version NAMES LEVEL MAJOR MINOR BUILD-TEST SERVER
# NAMES are winecfg version names, tried in order until winecfg takes one.
run_version() {
  local names=$1 level=$2 major=$3 minor=$4 build_test=$5 server=$6 version=""
  if [ ! -d "$scratch" ]; then
    # A full copy: hard links would let the scratch wineserver rewrite the template's registry.
    cp -a "$template" "$scratch"
  fi
  export VELMORA_WINEPREFIX="$scratch"
  for name in $names; do
    if "$wine_run" winecfg -v "$name" >/dev/null 2>&1; then version=$name; break; fi
  done
  check "winecfg takes one of: $names" test -n "$version"
  local out status
  out=$("$wine_run" "$probe"); status=$?
  check "the probe runs as $version" test "$status" -eq 0
  if [ -z "$version" ] || [ "$status" -ne 0 ]; then unset VELMORA_WINEPREFIX; return; fi
  printf -- '--- %s\n%s\n' "$version" "$out"
  check "$version: level $level (got $(field level "$out"))" test "$(field level "$out")" = "$level"
  check "$version: NT family" test "$(field platform "$out")" = 2
  check "$version: major $major" test "$(field major "$out")" = "$major"
  check "$version: minor $minor" test "$(field minor "$out")" = "$minor"
  local build; build=$(field build "$out")
  check "$version: build $build $build_test" test "${build:-0}" $build_test
  check "$version: server $server" test "$(field server "$out")" = "$server"
  check "$version: 64-bit Windows" test "$(field windows64 "$out")" = 1
  check "$version: AMD64" test "$(field architecture "$out")" = AMD64
  check "$version: administrator rights" test "$(field rights "$out")" = ADMIN
  check "$version: administrator" test "$(field admin "$out")" = 1
  unset VELMORA_WINEPREFIX
}

# A 64-bit prefix cannot pose as 32-bit XP (5.1): winecfg takes "winxp64",
# Windows XP x64 (5.2 workstation), which the level table also names "XP".
run_version "winxp winxp64" XP 5 2 "-eq 3790" 0
run_version win7 SEVEN 6 1 "-eq 7601" 0
run_version win10 TENTWO 10 0 "-gt 10585" 0
# A server edition: 6.0 with Service Pack 2.
run_version win2008 2008 6 0 "-ge 6001" 1
finish
