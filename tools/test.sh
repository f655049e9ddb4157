#!/bin/bash
# Sets up the machine, builds the runtime and runs every test; then builds the
# core again with AddressSanitizer and UBSan and runs the tests under them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKR_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
# Libraries below SDL keep some allocations until exit; leaks are not faults here.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
