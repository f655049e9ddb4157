#!/bin/bash
# Fuzzes the audio loading paths with libFuzzer (clang, i386, ASan + UBSan).
#   tools/fuzz/run_audio.sh [SECONDS]     default 300
# Inputs that found a fault belong in tests/corpus/audio/, which the unit tests replay.
# Leaks are not hunted: libsndfile leaks libvorbis state on some damaged Ogg files
# (tests/corpus/audio/found_vorbis_leak.ogg), which would stop every run.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build-fuzz
mkdir -p "$out/audio_corpus"
clang++ -m32 -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
  tools/fuzz/fuzz_audio.cpp audio/music_kind.cpp audio/sample_file.cpp -lsndfile -o "$out/fuzz_audio"
cp tests/corpus/audio/* "$out/audio_corpus/" 2>/dev/null || true
ASAN_OPTIONS=detect_leaks=0 "$out/fuzz_audio" -max_total_time="${1:-300}" -max_len=16384 -rss_limit_mb=1024 -detect_leaks=0 -artifact_prefix="$out/audio-" \
  "$out/audio_corpus"
