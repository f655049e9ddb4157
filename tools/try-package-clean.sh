#!/bin/bash
# Installs the Debian package into a minimal Debian 12 tree and uses it there:
#   tools/try-package-clean.sh [--tree DIR] [--keep] [PACKAGE.deb]
# The tree is debootstrapped from the machine's own Debian mirror (reused when
# DIR already holds one), i386 is enabled, the package is installed with apt so
# its declared dependencies are resolved, and then the installed krrun checks
# and runs a module off screen, krc compiles one, and krpack packs one. Without
# a package, tools/package.sh builds it. Needs root (chroot); not run by the
# tests. debootstrap is used from the machine when installed, else unpacked
# privately from the mirror, so the machine's own packages are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."

tree=""
keep=0
deb=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tree) tree=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n 2,10p "$0"; exit 0 ;;
    *) deb=$1; shift ;;
  esac
done

[ "$(id -u)" = 0 ] || { echo "needs root (debootstrap, chroot)" >&2; exit 2; }

if [ -z "$deb" ]; then
  deb=$(tools/package.sh | tail -n 1)
fi
[ -f "$deb" ] || { echo "no package at $deb" >&2; exit 2; }
deb=$(readlink -f "$deb")

# The mirror and suite the machine itself uses.
mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
suite=bookworm

work=$(mktemp -d /tmp/kr-clean.XXXXXX)
[ -n "$tree" ] || tree=$work/root
mkdir -p "$tree"
tree=$(readlink -f "$tree")

mounted=()
cleanup() {
  local m
  for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null || true; done
  # Never remove anything while something is still mounted inside the tree.
  if grep -q " $tree/" /proc/mounts; then
    echo "still mounted, kept: $work $tree"
    return
  fi
  if [ "$keep" = 1 ]; then
    echo "tree kept: $tree"
    case "$tree" in "$work"/*) return ;; esac
  fi
  rm -rf "$work"
}
trap cleanup EXIT

step() { printf '\n== %s\n' "$*"; }

debootstrap_cmd() {
  if command -v debootstrap >/dev/null; then
    debootstrap "$@"
    return
  fi
  # The exact file the machine's package index names, unpacked privately.
  local file
  file=$(apt-cache show debootstrap | awk '/^Filename:/ {print $2; exit}')
  [ -n "$file" ] || { echo "debootstrap: not installed and not in the package index" >&2; return 1; }
  curl -fsSL "$mirror/$file" -o "$work/debootstrap.deb"
  dpkg-deb -x "$work/debootstrap.deb" "$work/debootstrap"
  DEBOOTSTRAP_DIR=$work/debootstrap/usr/share/debootstrap "$work/debootstrap/usr/sbin/debootstrap" "$@"
}

in_tree() { chroot "$tree" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

if [ ! -f "$tree/etc/debian_version" ]; then
  step "debootstrap --variant=minbase $suite into $tree ($mirror)"
  debootstrap_cmd --variant=minbase "$suite" "$tree" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 30 "$work/debootstrap.log"; exit 1; }
fi

mount -t proc proc "$tree/proc" && mounted+=("$tree/proc")
cp /etc/resolv.conf "$tree/etc/resolv.conf"
cat >"$tree/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
EOF

step "i386 enabled, package lists"
in_tree dpkg --add-architecture i386
in_tree apt-get update -qq

# A reused tree goes back to what it was before the package came.
if in_tree dpkg -s korrin-runtime >/dev/null 2>&1; then
  step "removing the package installed by an earlier run"
  in_tree env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq --autoremove korrin-runtime >/dev/null
fi

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$tree/tmp/"
in_tree env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log"; exit 1; }
echo "  installed: $(awk '/^Setting up / {print $3}' "$work/install.log" | sort | tr '\n' ' ')" | fold -s -w 100

# What the installed runtime must do in the bare tree: no display, no sound
# device, nothing but the package and what it declared.
failures=0
check() {
  local what=$1; shift
  if out=$("$@" 2>&1); then
    printf '  ok    %s\n' "$what"
  else
    printf '  FAIL  %s\n%s\n' "$what" "$(printf '%s\n' "$out" | sed 's/^/        /' | tail -n 15)"
    failures=$((failures + 1))
  fi
}

mkdir -p "$tree/tmp/try"
cat >"$tree/tmp/try/hello.kb" <<'EOF'
Graphics 320, 200, 32, 2
font = LoadFont("courier", 12)
SetFont font
Text 10, 10, "Hello from the clean tree"
Flip
f = WriteFile("out.txt")
WriteLine f, "written " + (6 * 7)
CloseFile f
DebugLog "font=" + (font <> 0)
DebugLog "music=" + (PlayMusic("note.mid") <> 0)
Delay 1500
DebugLog "done"
EOF
# Half a second of A4 on a piano: the General MIDI SoundFont must be there.
printf 'MThd\0\0\0\6\0\0\0\1\0\360MTrk\0\0\0\20\0\300\0\0\220\105\156\201\160\200\105\0\0\377\57\0' \
  >"$tree/tmp/try/note.mid"
printf '[general]\ndrivers=wave\n[wave]\nfile=/tmp/try/mix.wav\n' >"$tree/tmp/try/alsoft.conf"
headless="SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_CONF=/tmp/try/alsoft.conf"

# True when the recorded mix (by default the program's) is not silent.
mix_heard() {
  python3 - "${1:-$tree/tmp/try/mix.wav}" <<'PY'
import array, struct, sys
data = open(sys.argv[1], "rb").read()
at, bits, samples = 12, 16, None
while at + 8 <= len(data):
    kind, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
    body = data[at + 8:at + 8 + size]
    if kind == b"fmt ":
        bits = struct.unpack("<H", body[14:16])[0]
    elif kind == b"data":
        samples = array.array("f" if bits == 32 else "h", body[:len(body) // (bits // 8) * (bits // 8)])
    at += 8 + size + (size & 1)
peak = max((abs(s) for s in samples), default=0) if samples else 0
sys.exit(0 if peak > (0.005 if bits == 32 else 160) else 1)  # silence is exactly 0
PY
}
no_missing_libraries() {
  local out
  out=$(chroot "$tree" ldd /usr/bin/krrun /usr/lib/i386-linux-gnu/libkrruntime.so /usr/lib/i386-linux-gnu/krdecode 2>&1)
  ! grep 'not found' <<<"$out"
}

step "the installed tools"
check "every library krrun, libkrruntime.so and krdecode load is there" no_missing_libraries
check "krrun --help" in_tree krrun --help
check "krc compiles a program" in_tree sh -c 'cd /tmp/try && krc hello.kb -o hello.krm'
check "krrun --check hello.krm" in_tree sh -c 'cd /tmp/try && krrun --check hello.krm'
check "krrun --check refuses a text file" in_tree sh -c 'cd /tmp/try && ! krrun --check hello.kb'
check "krrun runs it off screen" in_tree sh -c \
  "cd /tmp/try && $headless krrun --debug hello.krm 2>err.txt; cat err.txt; grep -q 'debugLog: done' err.txt && tr -d '\\r' <out.txt | grep -qx 'written 42'"
check "LoadFont finds courier" grep -q 'debugLog: font=1' "$tree/tmp/try/err.txt"
check "courier is Liberation Mono, as games expect its metrics" \
  test -f "$tree/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf"
check "PlayMusic plays a MIDI file" grep -q 'debugLog: music=1' "$tree/tmp/try/err.txt"
check "the MIDI note is heard" mix_heard
check "krpack makes a stand-alone game that runs" in_tree sh -c \
  "cd /tmp/try && krpack hello.krm -o hello && rm -f out.txt && $headless ./hello --debug 2>/dev/null && tr -d '\\r' <out.txt | grep -qx 'written 42'"
# The demo game as built here, packed by the installed krpack with its files
# beside it: one short attract round with its pictures, sounds and both songs.
game_module=build/modules/game_rocks.krm
if [ -f "$game_module" ] && [ -d build/korrin-demo-assets ]; then
  mkdir -p "$tree/tmp/game"
  cp "$game_module" "$tree/tmp/game/"
  cp -r build/korrin-demo-assets "$tree/tmp/game/"
  printf 'attract_rounds=1\nround_seconds=8\nseed=1\n' >"$tree/tmp/game/demo.cfg"
  sed 's|/tmp/try/mix.wav|/tmp/game/mix.wav|' "$tree/tmp/try/alsoft.conf" >"$tree/tmp/game/alsoft.conf"
  check "krpack packs the demo game" in_tree sh -c 'cd /tmp/game && krpack game_rocks.krm -o korrin-demo'
  check "the demo game plays an attract round" in_tree sh -c \
    "cd /tmp/game && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_CONF=/tmp/game/alsoft.conf \
     timeout 120 ./korrin-demo --debug 2>err.txt; cat err.txt; grep -q 'debugLog: rounds=1' err.txt && ! grep -q debugError err.txt"
  check "its pictures, sounds and fonts all loaded" sh -c \
    "grep -q 'debugLog: assets: images=11111' '$tree/tmp/game/err.txt' && grep -q 'debugLog: assets: sounds=1111' '$tree/tmp/game/err.txt' && grep -q 'debugLog: assets: fonts=111' '$tree/tmp/game/err.txt'"
  check "both songs started" sh -c \
    "grep -q 'music: title.mod channel=1' '$tree/tmp/game/err.txt' && grep -q 'music: play.mid channel=1' '$tree/tmp/game/err.txt'"
  check "the game is heard" mix_heard "$tree/tmp/game/mix.wav"
fi

step "result"
if [ "$failures" = 0 ]; then
  echo "the package installs and runs in a clean $suite tree"
else
  echo "$failures check(s) failed"
  exit 1
fi
