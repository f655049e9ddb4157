#!/bin/bash
# Fuzzes the picture decoders with libFuzzer (clang, i386, ASan + UBSan).
#   tools/fuzz/run-pictures.sh [SECONDS]     default 300
# Inputs that found a fault belong in tests/corpus/pictures/, which the unit tests replay.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build-fuzz
mkdir -p "$out/pictures"
clang++ -m32 -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
  tools/fuzz/fuzz_pictures.cpp images/picture_decoders.cpp images/bmp_reader.cpp images/library_decoders.cpp \
  -L/usr/lib/i386-linux-gnu -lpng16 -ljpeg -o "$out/fuzz_pictures"
cp tests/corpus/pictures/* "$out/pictures/" 2>/dev/null || true
"$out/fuzz_pictures" -max_total_time="${1:-300}" -max_len=65536 -artifact_prefix="$out/" "$out/pictures"
