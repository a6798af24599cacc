#!/usr/bin/env bash
# Builds the evaluator fuzz target with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs it for a number of seconds.
#   bash fuzz/run.sh [SECONDS]          (default 180)
#   VELMORA_BUILD=<folder> puts the build and the working corpus there (default: build/).
# New inputs go to <build>/fuzz/corpus-eval; fuzz/corpus/eval (the seeds) is
# only read. A crash leaves its input in <build>/fuzz/ and the exit code is non-zero.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD:-$root/build}
seconds=${1:-180}
out="$build/fuzz"
mkdir -p "$out/corpus-eval"

command -v clang++ >/dev/null || { echo "clang++ is missing: apt-get install -y clang libclang-rt-14-dev" >&2; exit 2; }

# The core sources the target needs: text helpers, the host system stand-in,
# the session (read by the command-line protection) and the variables.
sources=(
  fuzz/eval_fuzz.cpp
  core/text.cpp core/system_host.cpp
  startup/session.cpp
  vars/hash_table.cpp vars/variables.cpp vars/expand.cpp vars/eval.cpp vars/mathematics.cpp
)
cd "$root"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -fno-omit-frame-pointer -I"$root" "${sources[@]}" -o "$out/eval_fuzz"

# Whole-run limits: one input may take at most 10 s and 2 GB.
"$out/eval_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
                 -print_final_stats=1 -artifact_prefix="$out/" \
                 "$out/corpus-eval" "$root/fuzz/corpus/eval"
