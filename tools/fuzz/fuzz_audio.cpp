// libFuzzer target for the audio loading paths that run in the game process:
// the song and stream header checks PlayMusic makes on a file's head, and
// whole-sample decoding with libsndfile (what LoadSound does with a file).
#include <cstddef>
#include <cstdint>

#include "audio/music_kind.h"
#include "audio/sample_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kr::audio::recogniseSong(data, size);
  kr::audio::looksLikeStream(data, size < kr::audio::kSongHeadBytes ? size : kr::audio::kSongHeadBytes);
  kr::audio::Pcm pcm;
  if (kr::audio::decodeSoundBytes(data, size, pcm)) {
    if (pcm.channels < 1 || pcm.channels > 2 || pcm.samples.size() % pcm.channels) __builtin_trap();
  }
  return 0;
}
