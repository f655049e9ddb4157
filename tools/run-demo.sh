#!/bin/bash
# Sets up the machine, builds the runtime and runs the demo game: examples/game/rocks.kb
# compiled by krc, packed with krrun into one program, its files beside it. In a
# window where there is a display. Where there is none, and no demo.cfg asks
# otherwise, it plays two attract rounds off screen and ends by itself. The game
# runs in build/, so its high-score table and an optional demo.cfg live there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target korrin-demo
cd build
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ ! -e demo.cfg ]; then
  # Nobody can play: let the computer play, in a scratch folder so the run
  # leaves no settings or scores behind.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  printf 'assets=%s\nattract_rounds=2\nround_seconds=20\nscores=%s\nresult=%s\n' \
    "$PWD/korrin-demo-assets" "$scratch/scores" "$scratch/result.txt" > "$scratch/demo.cfg"
  echo "No display: the computer plays two attract rounds off screen."
  status=0
  (cd "$scratch" && "$OLDPWD/korrin-demo" "$@") || status=$?
  cat "$scratch/result.txt" 2>/dev/null || true
  exit $status
fi
exec ./korrin-demo "$@"
