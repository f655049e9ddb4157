// Sound, channel, music and CD commands.
#include "audio/audio_commands.h"

#include <cmath>

#include "audio/audio_driver.h"
#include "files/files_state.h"
#include "runtime/errors.h"

namespace kr {
namespace audio {

namespace {

AudioDriver* gDriver = nullptr;

// The sound behind a handle, looked up whatever debugFlag says; an unknown one
// is an error only when debugging.
Sound* checkedSound(int handle) {
  Sound* s = gDriver ? gDriver->findSound(handle) : nullptr;
  if (!s && debugFlag) raiseRuntimeError("Sound does not exist");
  return s;
}

// An unknown, freed or foreign channel value does nothing.
Channel* liveChannel(int handle) {
  return handle && gDriver ? gDriver->findChannel(handle) : nullptr;
}

}  // namespace

bool volumeScale(float volume, int& out) {
  if (std::isnan(volume)) return false;
  float v = volume < 0.0f ? 0.0f : volume > 1.0f ? 1.0f : volume;
  out = static_cast<int>(v * 255.0f);
  return true;
}

bool panScale(float pan, int& out) {
  if (std::isnan(pan)) return false;
  float p = pan < -1.0f ? -1.0f : pan > 1.0f ? 1.0f : pan;
  out = static_cast<int>((p + 1.0f) * 127.5f);
  return true;
}

bool init() {
  HostRuntime* host = currentHost();
  if (host) gDriver = host->openDriver<AudioDriver>(DriverSlot::Audio, [] { return new AudioDriver; });
  return true;  // the group starts even without sound
}

void shutdown() {
  if (gDriver) {
    if (HostRuntime* host = currentHost()) host->closeDriver(DriverSlot::Audio, gDriver);
  }
  gDriver = nullptr;
}

int loadSound(krString* filename) {
  std::string path = files::takePath(filename);
  return gDriver ? gDriver->loadSound(path) : 0;
}

void freeSound(int sound) {
  if (gDriver) gDriver->freeSound(sound);
}

void loopSound(int sound) {
  if (Sound* s = checkedSound(sound)) gDriver->engine()->setLooping(s->sample, true);
}

void soundPitch(int sound, int pitch) {
  if (Sound* s = checkedSound(sound)) {
    s->values.frequency = pitch;
    s->defaultsApplied = false;
  }
}

void soundVolume(int sound, float volume) {
  Sound* s = checkedSound(sound);
  if (s && volumeScale(volume, s->values.volume)) s->defaultsApplied = false;
}

void soundPan(int sound, float pan) {
  Sound* s = checkedSound(sound);
  if (s && panScale(pan, s->values.pan)) s->defaultsApplied = false;
}

int playSound(int sound) {
  Sound* s = checkedSound(sound);
  return s ? gDriver->playSound(*s) : 0;
}

void stopChannel(int channel) {
  if (Channel* c = liveChannel(channel)) c->stop();
}

void pauseChannel(int channel) {
  if (Channel* c = liveChannel(channel)) c->setPaused(true);
}

void resumeChannel(int channel) {
  if (Channel* c = liveChannel(channel)) c->setPaused(false);
}

void channelPitch(int channel, int pitch) {
  if (Channel* c = liveChannel(channel)) c->setPitch(pitch);
}

void channelVolume(int channel, float volume) {
  int v;
  Channel* c = liveChannel(channel);
  if (c && volumeScale(volume, v)) c->setVolume(v);
}

void channelPan(int channel, float pan) {
  int p;
  Channel* c = liveChannel(channel);
  if (c && panScale(pan, p)) c->setPan(p);
}

int channelPlaying(int channel) {
  Channel* c = liveChannel(channel);
  return c && c->isPlaying() ? 1 : 0;
}

int playMusic(krString* midifile) {
  std::string name = files::takePath(midifile);
  return gDriver ? gDriver->playMusic(name) : 0;
}

int playCdTrack(int track, int mode) { return gDriver ? gDriver->playCdTrack(track, mode) : 0; }

}  // namespace audio
}  // namespace kr
