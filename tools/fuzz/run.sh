#!/bin/bash
# Fuzzes the module readers with libFuzzer (clang, i386, ASan + UBSan).
#   tools/fuzz/run.sh [SECONDS]     default 300
# Inputs that found a fault belong in tests/corpus/crashers/, which the unit
# tests replay; tests/corpus/good/ holds modules that must link and run.
# clang and its fuzzer runtime come with tools/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build-fuzz
mkdir -p "$out/corpus"
clang++ -m32 -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
  tools/fuzz/fuzz_module.cpp runtime/linker.cpp runtime/module_source.cpp -o "$out/fuzz_module"
cp tests/corpus/good/* tests/corpus/crashers/* "$out/corpus/" 2>/dev/null || true
cp build/modules/*.krm "$out/corpus/" 2>/dev/null || true
"$out/fuzz_module" -max_total_time="${1:-300}" -max_len=65536 -artifact_prefix="$out/" "$out/corpus"
