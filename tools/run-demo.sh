#!/bin/bash
# Sets up the machine, builds the runtime and runs the demo game: examples/kb/demo.kb
# compiled by krc, packed with krrun into one program. In a window where there is a
# display; off screen where there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target korrin-demo
exec build/korrin-demo "$@"
