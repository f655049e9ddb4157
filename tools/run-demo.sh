#!/bin/bash
# Sets up the machine, builds the runtime and runs the demo game: examples/game/rocks.kb
# compiled by krc, packed with krrun into one program, its files beside it. In a
# window where there is a display; off screen where there is none. The game runs in
# build/, so its high-score table and an optional demo.cfg live there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target korrin-demo
cd build
exec ./korrin-demo "$@"
