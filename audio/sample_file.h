// Decoding a whole sound file into 16-bit PCM in memory with libsndfile.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct sf_private_tag;
struct SF_INFO;

namespace kr {
namespace audio {

// Limits that keep a damaged or absurd file from costing the game.
constexpr int kMinSampleRate = 1;
constexpr int kMaxSampleRate = 384000;
constexpr std::int64_t kMaxSampleFrames = 16 << 20;  // about 6 minutes at 44.1 kHz

// Leaves new elements uninitialised: decoded samples overwrite them at once, so
// zero-filling a buffer of many megabytes first would only cost time.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

struct Pcm {
  int rate = 0;
  int channels = 0;  // 1 or 2: more channels are mixed down to two
  std::vector<std::int16_t, UninitialisedAllocator<std::int16_t>> samples;  // interleaved
  std::int64_t frames() const { return channels ? static_cast<std::int64_t>(samples.size()) / channels : 0; }
};

// Opens only regular files, so a device or a pipe is never read. The header's
// claimed length is not trusted: frames are read until the data ends, at most
// kMaxSampleFrames. False when nothing playable was found.
bool decodeSoundFile(const std::string& hostPath, Pcm& out);

// True when decodeSoundFile would find a playable header (nothing is decoded).
bool probeSoundFile(const std::string& hostPath);

// Mixes interleaved frames of any channel count down to at most two: even
// channels to the left, odd ones to the right.
void downmixToStereo(const std::int16_t* in, int inChannels, std::int64_t frames, std::int16_t* out);

// Floating-point data is scaled to the 16-bit range instead of wrapping (only
// for float data: the setting slows every other format's reads).
void scaleFloatSamples(sf_private_tag* file, const SF_INFO& info);

// The same over memory, for the fuzz target: decodes the bytes as a file.
bool decodeSoundBytes(const std::uint8_t* data, std::size_t size, Pcm& out);

}  // namespace audio
}  // namespace kr
