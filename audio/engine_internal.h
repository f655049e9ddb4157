// The sound engine's private state, shared by the channel code (sound_engine.cpp)
// and the music players (music_player.cpp).
#pragma once
#include <AL/al.h>
#include <AL/alc.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/decoder_process.h"
#include "audio/sound_engine.h"

namespace kr {
namespace audio {

std::uint32_t monotonicMs();

struct Sample {
  ALuint buffer = 0;
  int rate = 0;
  int channels = 0;
  std::int64_t frames = 0;
  SampleDefaults defaults;
  bool loop = false;
};

struct Slot {
  enum Use { kFree, kSound, kStream };
  ALuint source = 0;
  std::uint32_t play = 0;  // counts the plays started on this slot
  Use use = kFree;
  Sample* sample = nullptr;
  bool paused = false;
  bool looping = false;
  // Until this time a sound that is not looping is surely still playing; the
  // source is asked only after it. 0: always ask.
  std::uint32_t surelyPlayingUntil = 0;
  MusicPlayer::State* stream = nullptr;
  // What the source was last given, so a play sets only what changed.
  ALuint alBuffer = 0;
  bool alLooping = false;
  float alPitch = 1.0f;
  int alVolume = -1;  // -1: unknown
  int alPan = -1;
  void forgetSourceState() {
    alBuffer = 0;
    alLooping = false;
    alPitch = -1.0f;
    alVolume = alPan = -1;
  }
};

struct MusicPlayer::State {
  // kStarting: the play is asked for and the feeder has yet to hand it to a
  // decoder; kOpening: the decoder has it and has not answered yet.
  enum Phase { kIdle, kStarting, kOpening, kPlaying };
  SoundEngine::Impl* engine = nullptr;
  bool onEngineChannel = false;
  ALuint ownSource = 0;
  ALuint source = 0;  // the source in use (own, or the engine channel's)
  ChannelRef ref;
  Phase phase = kIdle;
  int attempts = 0;  // decoders this play has been handed to
  bool paused = false;
  bool endOfData = false;
  DecoderProcess decoder;
  int rate = 0;
  int channels = 0;
  ALenum format = 0;
  std::vector<ALuint> freeBuffers;
  std::vector<ALuint> allBuffers;
  int queued = 0;
  std::vector<char> pending;  // one buffer's bytes as they arrive
  std::size_t pendingUsed = 0;
  std::uint32_t lastFedMs = 0;
  int volume = 255;
  int pan = 128;
  int frequency = 0;  // 0: the stream's own rate
  NextFile next = nullptr;
  void* nextContext = nullptr;
  std::string path;
  std::vector<DecodeKind> kinds;
  std::unique_ptr<MusicPlayer> handle;
};

struct SoundEngine::Impl {
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  std::mutex lock;
  Slot slots[kEngineChannels];
  std::uint32_t freeMask = 0;  // bit per slot known to be free
  std::set<Sample*> samples;
  std::vector<std::unique_ptr<MusicPlayer::State>> players;
  DecoderProcess spare;
  // Killed decoders not reaped yet: killing one never waits for it to go, as
  // the dying process may not be scheduled for a while on a busy machine.
  std::vector<pid_t> dyingDecoders;
  bool wantSpare = false;
  std::thread feeder;
  // Wakes the feeder: an eventfd, as telling a condition variable can make the
  // game's thread wait until the feeder has been scheduled.
  int wakeFd = -1;
  bool quitting = false;
  bool canDisconnect = false;  // the device reports ALC_CONNECTED
  bool lost = false;  // the output device was disconnected: nothing plays again
  std::uint32_t lastConnectedCheckMs = 0;

  // Locked helpers.
  void releaseSlot(int slot);
  int claimSlot();
  void applyGain(ALuint source, int volume);
  void applyPan(ALuint source, int pan);
  void setGain(Slot& s, int volume);
  void setPan(Slot& s, int pan);
  void setPitch(Slot& s, float pitch);
  void feedAll();
  void feed(MusicPlayer::State& p);
  void finishPlay(MusicPlayer::State& p, bool mayContinue);
  bool startDecode(MusicPlayer::State& p);
  void startWaitingPlays();
  void checkOpening(MusicPlayer::State& p);
  bool spawnSpare(std::unique_lock<std::mutex>& lk);
  void checkConnected();
  void stopEverything();
  void retire(DecoderProcess& d) { abandonDecoder(d, dyingDecoders); }
  bool acceptReply(MusicPlayer::State& p, const DecodeReply& reply);
  void stopPlayer(MusicPlayer::State& p);
  void feederLoop();
  void wakeFeeder();
  void feederSleep(std::unique_lock<std::mutex>& lk, int ms);
};

}  // namespace audio
}  // namespace kr
