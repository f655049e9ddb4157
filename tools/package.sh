#!/bin/bash
# Builds the Debian package of the runtime with CPack:
#   tools/package.sh [BUILD_DIR]      default build (the tree tools/test.sh builds)
# The package lands in BUILD_DIR/packages/; list it with dpkg-deb -c, install it
# with apt-get install ./BUILD_DIR/packages/korrin-runtime_*_i386.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build}
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j"$(nproc 2>/dev/null || echo 2)"
(cd "$out" && cpack -G DEB >/dev/null)
ls "$out"/packages/*.deb
