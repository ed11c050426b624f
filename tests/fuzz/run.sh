#!/usr/bin/env bash
# Builds the reply reader's fuzz target with clang and libFuzzer and runs it
# for SECONDS (default 60). Fails on any crash, sanitizer report or
# disagreement with the model. New inputs go to build-fuzz/corpus; the
# committed seeds in tests/fuzz/corpus are only read.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
out="$root/build-fuzz"
mkdir -p "$out/corpus"
cxx=${CXX_FUZZ:-clang++-14}
"$cxx" -std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=all -Wall -Wextra -Werror -I"$root" \
  "$root/tests/fuzz/reply_reader_fuzz.cpp" "$root/app/reply_reader.cpp" \
  "$root/platform/run_error.cpp" "$root/platform/linux/call_trace.cpp" \
  -ldl -o "$out/reply_reader_fuzz"
cd "$out"
./reply_reader_fuzz -max_total_time="$seconds" -max_len=600 -print_final_stats=1 \
  corpus "$root/tests/fuzz/corpus"
