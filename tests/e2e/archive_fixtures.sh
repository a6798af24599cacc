#!/usr/bin/env bash
# Archives made by the Linux 7zz for the Windows archive tests, which read
# them from the folder given here (VELMORA_TEST_ARCHIVES):
#   tree/                 the source files (Unicode names, a subfolder, binary data)
#   lzma2.7z              LZMA2, no password
#   aes-headers.7z        AES-256 with encrypted headers, password "Secret pa55"
#   aes-data.7z           AES-256, headers in the clear, same password
#   hostile-N.7z          a safe item and one whose name climbs out or is absolute
#   damaged.7z, truncated.7z, garbage.7z
#
#   archive_fixtures.sh OUT-FOLDER
set -euo pipefail
out=$1
rm -rf "$out" && mkdir -p "$out/tree/sub/deeper" "$out/stage"

printf 'plain text\r\n' > "$out/tree/readme.txt"
printf 'caf\xc3\xa9' > "$out/tree/Ünïcødé ✓ 日本.txt"
head -c 65536 /dev/urandom > "$out/tree/sub/random.bin"
for i in $(seq 1 2000); do echo "line $i of a compressible file"; done > "$out/tree/sub/deeper/big.txt"
printf '' > "$out/tree/sub/empty.txt"

( cd "$out/tree" && 7zz a -bso0 -bsp0 -t7z -m0=LZMA2 ../lzma2.7z . )
( cd "$out/tree" && 7zz a -bso0 -bsp0 -t7z -m0=LZMA2 -p'Secret pa55' -mhe=on ../aes-headers.7z . )
( cd "$out/tree" && 7zz a -bso0 -bsp0 -t7z -m0=LZMA2 -p'Secret pa55' -mhe=off ../aes-data.7z . )

# Hostile names cannot be staged as files, so each archive is made with a
# placeholder name of the same length, stored uncompressed with a plain
# header, and the name and the header checksums are then patched.
patch_name() {  # patch_name ARCHIVE PLACEHOLDER NAME
  python3 - "$@" <<'PY'
import struct, sys, zlib
path, old, new = sys.argv[1], sys.argv[2].encode('utf-16-le'), sys.argv[3].encode('utf-16-le')
assert len(old) == len(new)
b = bytearray(open(path, 'rb').read())
assert b[:6] == b"7z\xbc\xaf\x27\x1c"
offset, size = struct.unpack_from('<QQ', b, 12)
start = 32 + offset
header = bytes(b[start:start + size])
assert header[0] == 1 and header.count(old) == 1, 'placeholder not in a plain header'
header = header.replace(old, new)
b[start:start + size] = header
struct.pack_into('<I', b, 28, zlib.crc32(header) & 0xffffffff)
struct.pack_into('<I', b, 8, zlib.crc32(bytes(b[12:32])) & 0xffffffff)
open(path, 'wb').write(bytes(b))
PY
}
n=0
while IFS='|' read -r placeholder name; do
  n=$((n + 1))
  rm -rf "$out/stage" && mkdir -p "$out/stage"
  printf 'good\n' > "$out/stage/good.txt"
  printf 'evil\n' > "$out/stage/$placeholder"
  ( cd "$out/stage" && 7zz a -bso0 -bsp0 -t7z -m0=Copy -mhc=off -ms=off "../hostile-$n.7z" good.txt "$placeholder" )
  patch_name "$out/hostile-$n.7z" "$placeholder" "$name"
done <<'NAMES'
QQQevil.txt|../evil.txt
RRRevil.txt|..\evil.txt
SSSevil.txt|C:\evil.txt
TTTTTTTTTTTTTTTx|\\server\share\x
aUUUUUUUx|a/../../x
VVVVVVVVVVVVVVVx|/tmp/evil-abs.tx
WWWWWWW|sub/NUL
NAMES
echo "$n" > "$out/hostile-count"
rm -rf "$out/stage"

# Damage: flipped bytes in the packed data, half a file, and no archive at all.
cp "$out/lzma2.7z" "$out/damaged.7z"
python3 - "$out/damaged.7z" <<'PY'
import sys
p = sys.argv[1]
b = bytearray(open(p, 'rb').read())
for i in range(64, 96):
    b[i] ^= 0x5A
open(p, 'wb').write(bytes(b))
PY
size=$(stat -c %s "$out/lzma2.7z")
head -c $((size / 2)) "$out/lzma2.7z" > "$out/truncated.7z"
head -c 4096 /dev/urandom > "$out/garbage.7z"
echo "archive fixtures ready"
