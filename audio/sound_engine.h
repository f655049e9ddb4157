// The sound engine: the runtime's thin layer over OpenAL Soft. It owns the
// output device, the 32 engine channels that sounds and streams share, the
// samples, and the music players whose PCM comes from decoder processes.
// Platform calls stay in audio/; the channel and sound commands see only this.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/decoder_process.h"

namespace kr {
namespace audio {

constexpr int kEngineChannels = 32;
constexpr int kMixRate = 44100;

// An engine channel as the runtime holds it: the slot and the play it started.
// Once the slot plays something else the reference is stale and inert.
struct ChannelRef {
  int slot = -1;
  std::uint32_t play = 0;
  bool none() const { return slot < 0; }
};

struct Sample;
class MusicPlayer;
class SoundEngine;

// Volumes and pans on the engine's scale: volume 0..255 (linear gain v / 255),
// pan 0 (full left) .. 255 (full right).
int clampVolumeScale(int v);
int clampPanScale(int p);

struct SampleDefaults {
  int frequency = 0;
  int volume = 255;
  int pan = 128;
  int priority = 128;
};

class SoundEngine {
 public:
  // Opens the default device at 44,100 Hz, once more on failure. Null when no
  // device could be opened (loads then fail, every command does nothing).
  static SoundEngine* open();
  // An engine on OpenAL Soft's loopback device, which mixes only when asked:
  // render() writes the next frames (16-bit stereo at 44.1 kHz) into out.
  static SoundEngine* openLoopback();
  void render(std::int16_t* out, int frames);
  ~SoundEngine();  // stops every player and decoder, closes the device
  SoundEngine(const SoundEngine&) = delete;
  SoundEngine& operator=(const SoundEngine&) = delete;

  // Samples: the whole file decoded at once. Null when it cannot be loaded.
  Sample* loadSample(const std::string& hostPath);
  void freeSample(Sample* sample);  // stops every channel playing it first
  SampleDefaults defaults(const Sample* sample) const;
  // Frequency changes only when above 0; volume and pan are clamped.
  void setDefaults(Sample* sample, const SampleDefaults& d);
  void setLooping(Sample* sample, bool loop);

  // Plays on a free engine channel; none() when all 32 are busy.
  ChannelRef play(Sample* sample);
  void stop(ChannelRef ref);
  void setPaused(ChannelRef ref, bool paused);
  void setFrequency(ChannelRef ref, int hertz);
  void setVolume(ChannelRef ref, int volume);
  void setPan(ChannelRef ref, int pan);
  bool isPlaying(ChannelRef ref);
  // The index of the first reference that is not playing, or -1: one call for
  // a whole pool of channels.
  int firstIdle(const ChannelRef* refs, int count);

  // Music players; the engine owns them until it closes.
  MusicPlayer* newPlayer(bool onEngineChannel);
  void deletePlayer(MusicPlayer* player);

  // True once the output device is gone (unplugged, or its output failed):
  // from then on loads and plays fail and nothing plays.
  bool deviceLost();

  // For tests and diagnostics: engine channels in use right now.
  int busyChannels();

  struct Impl;

 private:
  explicit SoundEngine(Impl* impl);

 public:
  static SoundEngine* create(Impl* impl) { return new SoundEngine(impl); }

 private:
  std::unique_ptr<Impl> impl_;
  friend class MusicPlayer;
};

// A streaming voice fed from a decoder process: a stream on an engine channel,
// a song, or the CD on sources of their own. Every play starts a fresh decode.
class MusicPlayer {
 public:
  // What happens when a decode ends: the next file to play, or false to stop.
  using NextFile = bool (*)(void* context, std::string& hostPath);

  // Starts decoding the file with the first kind that accepts it. Returns at
  // once: the feeder thread hands the file to a decoder process, and a file no
  // kind accepts, or a decoder that fails, simply ends the play. False only
  // when there is no channel or source to play on.
  bool play(const std::string& hostPath, const std::vector<DecodeKind>& kinds);
  void stop();
  void setPaused(bool paused);
  void setVolume(int volume);  // engine scale
  void setPan(int pan);
  void setFrequency(int hertz);
  // True from a play until the decode has been heard to its end, the player is
  // stopped, or its decoder failed. Paused counts as playing.
  bool isPlaying();
  ChannelRef channel();  // the engine channel of a stream player
  void setNextFile(NextFile next, void* context);

  struct State;
  explicit MusicPlayer(State* state) : state_(state) {}

 private:
  State* state_;
};

}  // namespace audio
}  // namespace kr
