#!/bin/bash
# Fuzzes the compiler with libFuzzer (clang, i386, ASan + UBSan), starting from
# the example programs.
#   tools/fuzz/run-krc.sh [SECONDS]     default 300
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build-fuzz
mkdir -p "$out/krc-corpus"
clang++ -m32 -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
  tools/fuzz/fuzz_krc.cpp compiler/lexer.cpp compiler/parser.cpp compiler/codegen.cpp compiler/commands.cpp \
  -o "$out/fuzz_krc"
cp examples/kb/*.kb "$out/krc-corpus/" 2>/dev/null || true
"$out/fuzz_krc" -max_total_time="${1:-300}" -max_len=4096 -timeout=10 -artifact_prefix="$out/krc-" \
  "$out/krc-corpus"
