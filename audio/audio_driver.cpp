#include "audio/audio_driver.h"

#include <sys/stat.h>

#include <cstdio>

#include "audio/music_kind.h"
#include "audio/sample_file.h"
#include "files/file_paths.h"
#include "runtime/program_dir.h"

namespace kr {
namespace audio {

namespace {

bool isRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string cdTrackFile(int track) {
  if (track < 1 || track > 99) return std::string();
  static const char* const kExtensions[] = {"wav", "ogg", "flac", "mp3"};
  std::string dir = programDirectory();
  for (const char* ext : kExtensions) {
    char name[32];
    std::snprintf(name, sizeof name, "/track%02d.%s", track, ext);
    std::string path;
    if (resolveProgramPath(dir + name, path) && isRegularFile(path)) return path;
  }
  return std::string();
}

CdChannel::CdChannel(AudioDriver* driver) : driver_(driver) {}

// The CD's player is made at its first play; the volume set before then waits.
MusicPlayer* CdChannel::player(bool create) {
  if (!player_ && create && driver_->engine()) {
    player_ = driver_->engine()->newPlayer(false);
    player_->setNextFile(&CdChannel::nextFile, this);
    player_->setVolume(volume_);
  }
  return player_;
}

// Runs on the engine's feeder thread when a track has ended.
bool CdChannel::nextFile(void* context, std::string& hostPath) {
  CdChannel* cd = static_cast<CdChannel*>(context);
  int mode = cd->mode_.load();
  if (mode == 2) {
    hostPath = cdTrackFile(cd->track_.load());
  } else if (mode == 3) {
    int next = cd->track_.load() + 1;
    hostPath = cdTrackFile(next);
    if (!hostPath.empty()) cd->track_.store(next);
  } else {
    return false;
  }
  return !hostPath.empty();
}

void CdChannel::playTrack(int track, int mode) {
  if (!player(true)) return;
  player_->stop();
  mode_.store(mode == 2 || mode == 3 ? mode : 1);
  track_.store(track);
  std::string path = cdTrackFile(track);
  if (!path.empty()) player_->play(path, {DecodeKind::kStream});
}

void CdChannel::stop() {
  if (player_) player_->stop();
}

void CdChannel::setPaused(bool paused) {
  if (player_) player_->setPaused(paused);
}

void CdChannel::setVolume(int volume) {
  volume_ = volume;
  if (player_) player_->setVolume(volume);
}

AudioDriver::AudioDriver() { cd_ = adopt(std::make_unique<CdChannel>(this)); }

// The device is opened at the first command that needs it: a game without
// sound never starts a mixer, and its start-up does not wait for one.
SoundEngine* AudioDriver::engine() {
  if (!engineTried_) {
    engineTried_ = true;
    engine_.reset(SoundEngine::open());
  }
  return engine_.get();
}

SoundEngine* AudioDriver::playingEngine() {
  SoundEngine* e = engine();
  return e && !e->deviceLost() ? e : nullptr;
}

// Channels go first, last created first, then the sounds, then the engine.
AudioDriver::~AudioDriver() {
  if (engine_) {
    for (auto it = allChannels_.rbegin(); it != allChannels_.rend(); ++it) (*it)->stop();
  }
  while (!allChannels_.empty()) allChannels_.pop_back();
  channels_.clear([](Channel*) {});
  pool_.clear();
  poolRefs_.clear();
  musicCache_.clear();
  sounds_.clear([this](Sound* s) {
    if (engine_) engine_->freeSample(s->sample);
    delete s;
  });
  engine_.reset();
}

template <class C>
C* AudioDriver::adopt(std::unique_ptr<C> channel) {
  C* raw = channel.get();
  allChannels_.push_back(std::move(channel));
  channels_.insert(raw);
  return raw;
}

int AudioDriver::loadSound(const std::string& programPath) {
  std::string path;
  if (!resolveProgramPath(programPath, path) || !playingEngine()) return 0;
  Sample* sample = engine_->loadSample(path);
  if (!sample) return 0;
  auto sound = std::make_unique<Sound>();
  sound->sample = sample;
  sound->values = engine_->defaults(sample);
  sounds_.insert(sound.get());
  return toHandle(sound.release());
}

void AudioDriver::freeSound(int handle) {
  Sound* s = sounds_.take(handle);
  if (!s) return;
  if (engine_) engine_->freeSample(s->sample);
  delete s;
}

int AudioDriver::playSound(Sound& sound) {
  if (!playingEngine()) return 0;
  if (!sound.defaultsApplied) {
    engine_->setDefaults(sound.sample, sound.values);
    sound.values = engine_->defaults(sound.sample);
    sound.defaultsApplied = true;
  }
  ChannelRef ref = engine_->play(sound.sample);
  if (ref.none()) return 0;
  // The first pool channel whose sound has ended takes the new play.
  int idle = engine_->firstIdle(poolRefs_.data(), static_cast<int>(poolRefs_.size()));
  if (idle >= 0) {
    pool_[idle]->take(ref);
    poolRefs_[idle] = ref;
    return toHandle(static_cast<Channel*>(pool_[idle]));
  }
  SoundChannel* channel = adopt(std::make_unique<SoundChannel>(*engine_, ref));
  pool_.push_back(channel);
  poolRefs_.push_back(ref);
  return toHandle(static_cast<Channel*>(channel));
}

// Only what is cheap happens here: the name, one read of the file's head, a
// channel. The decoder process opens the file; if it then fails, the channel
// simply ends.
int AudioDriver::playMusic(const std::string& name) {
  if (!playingEngine()) return 0;
  auto cached = musicCache_.find(name);
  if (cached != musicCache_.end()) {
    cached->second->replay();
    return toHandle(cached->second);
  }
  std::string path;
  if (!resolveProgramPath(name, path)) return 0;
  std::uint8_t head[kSongHeadBytes];
  int headBytes = readFileHead(path, head);
  if (headBytes <= 0) return 0;
  // The runtime recognises song headers itself; only those reach a song loader.
  SongFormat format = recogniseSong(head, static_cast<std::size_t>(headBytes));
  bool song = format != SongFormat::kNone;
  // The common stream headers are checked from the head; others by the decoder
  // library's own header parser (still no decoding).
  if (!song && !looksLikeStream(head, static_cast<std::size_t>(headBytes)) && !probeSoundFile(path)) return 0;
  std::vector<DecodeKind> kinds;
  DecodeKind songKind = format == SongFormat::kMidi ? DecodeKind::kMidi : DecodeKind::kTracker;
  if (hasStreamMarker(name)) {
    kinds.push_back(DecodeKind::kStream);
    if (song) kinds.push_back(songKind);
  } else {
    if (song) kinds.push_back(songKind);
    kinds.push_back(DecodeKind::kStream);
  }
  MusicPlayer* player = engine_->newPlayer(!song);
  auto channel = std::make_unique<MusicChannel>(player, song, path, kinds);
  if (!channel->start()) {
    engine_->deletePlayer(player);
    return 0;
  }
  MusicChannel* raw = adopt(std::move(channel));
  musicCache_[name] = raw;
  return toHandle(static_cast<Channel*>(raw));
}

int AudioDriver::playCdTrack(int track, int mode) {
  cd_->playTrack(track, mode);
  return toHandle(static_cast<Channel*>(cd_));
}

}  // namespace audio
}  // namespace kr
