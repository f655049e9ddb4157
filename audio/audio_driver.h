// The audio driver: sounds, the channel objects handed to programs, the pool of
// sound channels, the music cache and the CD channel, over the sound engine.
#pragma once
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/sound_engine.h"
#include "host/host_runtime.h"
#include "runtime/handles.h"

namespace kr {
namespace audio {

class AudioDriver;

struct Sound {
  bool defaultsApplied = true;
  SampleDefaults values;  // frequency, volume and pan on the engine's scale
  Sample* sample = nullptr;
};

// A channel handle's object. Volumes and pans arrive on the engine's scale.
class Channel {
 public:
  virtual ~Channel() = default;
  virtual void stop() = 0;
  virtual void setPaused(bool paused) = 0;
  virtual void setPitch(int hertz) = 0;
  virtual void setVolume(int volume) = 0;
  virtual void setPan(int pan) = 0;
  virtual bool isPlaying() = 0;
  virtual void replay() {}
};

class SoundChannel final : public Channel {
 public:
  SoundChannel(SoundEngine& engine, ChannelRef ref) : engine_(engine), ref_(ref) {}
  void stop() override { engine_.stop(ref_); }
  void setPaused(bool paused) override { engine_.setPaused(ref_, paused); }
  void setPitch(int hertz) override { engine_.setFrequency(ref_, hertz); }
  void setVolume(int volume) override { engine_.setVolume(ref_, volume); }
  void setPan(int pan) override { engine_.setPan(ref_, pan); }
  bool isPlaying() override { return engine_.isPlaying(ref_); }
  ChannelRef ref() const { return ref_; }
  void take(ChannelRef ref) { ref_ = ref; }

 private:
  SoundEngine& engine_;
  ChannelRef ref_;
};

// Streams play on an engine channel (pitch, volume and pan act on it); songs on
// a source of their own (pitch and pan do nothing).
class MusicChannel final : public Channel {
 public:
  MusicChannel(MusicPlayer* player, bool song, std::string path, std::vector<DecodeKind> kinds)
      : player_(player), song_(song), path_(std::move(path)), kinds_(std::move(kinds)) {}
  bool start() { return player_->play(path_, kinds_); }
  void stop() override { player_->stop(); }
  void setPaused(bool paused) override { player_->setPaused(paused); }
  void setPitch(int hertz) override {
    if (!song_) player_->setFrequency(hertz);
  }
  void setVolume(int volume) override { player_->setVolume(volume); }
  void setPan(int pan) override {
    if (!song_) player_->setPan(pan);
  }
  bool isPlaying() override { return player_->isPlaying(); }
  void replay() override { player_->play(path_, kinds_); }

 private:
  MusicPlayer* player_;
  bool song_;
  std::string path_;
  std::vector<DecodeKind> kinds_;
};

// CD audio from track files beside the program: trackNN.wav, .ogg, .flac or .mp3.
class CdChannel final : public Channel {
 public:
  explicit CdChannel(AudioDriver* driver);
  void playTrack(int track, int mode);
  void stop() override;
  void setPaused(bool paused) override;
  void setPitch(int) override {}
  void setVolume(int volume) override;
  void setPan(int) override {}
  bool isPlaying() override { return true; }

 private:
  static bool nextFile(void* context, std::string& hostPath);
  MusicPlayer* player(bool create);
  AudioDriver* driver_;
  MusicPlayer* player_ = nullptr;
  int volume_ = 255;
  std::atomic<int> track_{0};
  std::atomic<int> mode_{1};
};

// The host path of track N beside the program, or "" when there is none.
std::string cdTrackFile(int track);

class AudioDriver final : public Driver {
 public:
  AudioDriver();  // the engine opens at first need; without one every load gives 0
  ~AudioDriver() override;
  AudioDriver(const AudioDriver&) = delete;
  AudioDriver& operator=(const AudioDriver&) = delete;

  SoundEngine* engine();
  // The engine when it can play: opened, and its device not lost since.
  SoundEngine* playingEngine();

  int loadSound(const std::string& programPath);
  void freeSound(int handle);
  Sound* findSound(int handle) { return sounds_.find(handle); }
  int playSound(Sound& sound);

  Channel* findChannel(int handle) { return channels_.find(handle); }
  int playMusic(const std::string& name);
  int playCdTrack(int track, int mode);

 private:
  template <class C>
  C* adopt(std::unique_ptr<C> channel);

  std::unique_ptr<SoundEngine> engine_;
  bool engineTried_ = false;
  HandleRegistry<Sound> sounds_;
  std::vector<SoundChannel*> pool_;
  std::vector<ChannelRef> poolRefs_;  // the pool's references, scanned in one engine call
  std::vector<std::unique_ptr<Channel>> allChannels_;  // creation order
  HandleRegistry<Channel> channels_;
  std::map<std::string, Channel*> musicCache_;
  CdChannel* cd_ = nullptr;
};

}  // namespace audio
}  // namespace kr
