// The engine's device, its 32 channels and the samples they play.
#include "audio/sound_engine.h"

#include <AL/alext.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cmath>

#include "audio/engine_internal.h"
#include "audio/sample_file.h"

namespace kr {
namespace audio {

namespace {

// OpenAL Soft resamples by at most this step; lower pitches are held above 0.
constexpr float kMinPitch = 1.0f / 1024;
constexpr float kMaxPitch = 255.0f;

float pitchFor(int hertz, int rate) {
  float pitch = static_cast<float>(hertz) / static_cast<float>(rate);
  return pitch < kMinPitch ? kMinPitch : pitch > kMaxPitch ? kMaxPitch : pitch;
}

// OpenAL Soft 1.19 takes one block of about 8.5 MB for a context's 256 voices
// and writes into it without checking that it got one: a game that has used
// up the address space (large images and banks) would crash at its first
// sound. A context is only made when a hole well above that size is free.
constexpr std::size_t kContextRoom = 16u << 20;

bool roomForContext() {
  void* hole = mmap(nullptr, kContextRoom, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (hole == MAP_FAILED) return false;
  munmap(hole, kContextRoom);
  return true;
}

void resetSource(ALuint source) {
  alSourceStop(source);
  alSourcei(source, AL_BUFFER, 0);
  alSourcei(source, AL_LOOPING, AL_FALSE);
}

}  // namespace

std::uint32_t monotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint32_t>(ts.tv_sec) * 1000u + static_cast<std::uint32_t>(ts.tv_nsec / 1000000);
}

int clampVolumeScale(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
int clampPanScale(int p) { return p < 0 ? 0 : p > 255 ? 255 : p; }

void SoundEngine::Impl::applyGain(ALuint source, int volume) {
  alSourcef(source, AL_GAIN, static_cast<float>(clampVolumeScale(volume)) / 255.0f);
}

// Mono sounds sit on the unit circle around the listener: full left is 90
// degrees to the left, the centre straight ahead. Both 127 and 128 are centre.
void SoundEngine::Impl::applyPan(ALuint source, int pan) {
  float p = (static_cast<float>(clampPanScale(pan)) - 127.5f) / 127.5f;
  if (std::fabs(p) < 0.005f) p = 0.0f;
  alSource3f(source, AL_POSITION, p, 0.0f, -std::sqrt(1.0f - p * p));
}

namespace {

SoundEngine* engineOn(ALCdevice* device, ALCcontext* context);

}  // namespace

void SoundEngine::Impl::setGain(Slot& s, int volume) {
  volume = clampVolumeScale(volume);
  if (volume == s.alVolume) return;
  applyGain(s.source, volume);
  s.alVolume = volume;
}

void SoundEngine::Impl::setPan(Slot& s, int pan) {
  pan = clampPanScale(pan);
  if (pan == s.alPan) return;
  applyPan(s.source, pan);
  s.alPan = pan;
}

void SoundEngine::Impl::setPitch(Slot& s, float pitch) {
  if (pitch == s.alPitch) return;
  alSourcef(s.source, AL_PITCH, pitch);
  s.alPitch = pitch;
}

SoundEngine* SoundEngine::open() {
  const ALCint attributes[] = {ALC_FREQUENCY, kMixRate, 0};
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  if (!roomForContext()) return nullptr;
  for (int attempt = 0; attempt < 2 && !context; ++attempt) {
    device = alcOpenDevice(nullptr);
    if (!device) continue;
    context = alcCreateContext(device, attributes);
    if (!context) alcCloseDevice(device);
  }
  return context ? engineOn(device, context) : nullptr;
}

SoundEngine* SoundEngine::openLoopback() {
  auto openLoopbackDevice =
      reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
  if (!openLoopbackDevice || !roomForContext()) return nullptr;
  ALCdevice* device = openLoopbackDevice(nullptr);
  if (!device) return nullptr;
  const ALCint attributes[] = {ALC_FREQUENCY,    kMixRate,      ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT,
                               ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT, 0};
  ALCcontext* context = alcCreateContext(device, attributes);
  if (!context) {
    alcCloseDevice(device);
    return nullptr;
  }
  return engineOn(device, context);
}

void SoundEngine::render(std::int16_t* out, int frames) {
  static auto renderSamples =
      reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
  std::lock_guard<std::mutex> hold(impl_->lock);
  if (renderSamples) renderSamples(impl_->device, out, frames);
}

namespace {

SoundEngine* engineOn(ALCdevice* device, ALCcontext* context) {
  if (!alcMakeContextCurrent(context)) {
    alcDestroyContext(context);
    alcCloseDevice(device);
    return nullptr;
  }
  auto* impl = new SoundEngine::Impl;
  impl->device = device;
  impl->context = context;
  impl->canDisconnect = alcIsExtensionPresent(device, "ALC_EXT_disconnect") == ALC_TRUE;
  alGetError();
  for (int i = 0; i < kEngineChannels; ++i) {
    Slot& s = impl->slots[i];
    alGenSources(1, &s.source);
    if (alGetError() != AL_NO_ERROR) continue;  // fewer channels, never a crash
    alSourcei(s.source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(s.source, AL_ROLLOFF_FACTOR, 0.0f);
    alSourcei(s.source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
    impl->freeMask |= 1u << i;
  }
  SoundEngine* engine = SoundEngine::create(impl);
  impl->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  impl->feeder = std::thread([impl] { impl->feederLoop(); });
  // The feeder keeps half a second queued: it can wait for the game's thread to
  // finish its time slice instead of taking the processor from it each time a
  // play wakes it.
  sched_param batch = {};
  pthread_setschedparam(impl->feeder.native_handle(), SCHED_BATCH, &batch);
  return engine;
}

}  // namespace

SoundEngine::SoundEngine(Impl* impl) : impl_(impl) {}

// Called by the feeder at every round; the device is asked at most this often.
constexpr std::uint32_t kConnectedCheckMs = 50;

void SoundEngine::Impl::checkConnected() {
  if (lost || !canDisconnect) return;
  std::uint32_t now = monotonicMs();
  if (now - lastConnectedCheckMs < kConnectedCheckMs) return;
  lastConnectedCheckMs = now;
  ALCint connected = ALC_TRUE;
  alcGetIntegerv(device, ALC_CONNECTED, 1, &connected);
  if (connected) return;
  lost = true;
  stopEverything();
}

// After the device is gone: music ends, every channel is free and every
// reference stale, so the commands go on working and do nothing.
void SoundEngine::Impl::stopEverything() {
  for (auto& p : players) stopPlayer(*p);
  for (int i = 0; i < kEngineChannels; ++i) {
    Slot& s = slots[i];
    if (!s.source) continue;
    alSourceStop(s.source);
    if (s.use != Slot::kFree) releaseSlot(i);
  }
}

bool SoundEngine::deviceLost() {
  std::lock_guard<std::mutex> hold(impl_->lock);
  return impl_->lost;
}

SoundEngine::~SoundEngine() {
  Impl& e = *impl_;
  {
    std::lock_guard<std::mutex> hold(e.lock);
    e.quitting = true;
  }
  e.wakeFeeder();
  if (e.feeder.joinable()) e.feeder.join();
  if (e.wakeFd >= 0) close(e.wakeFd);
  for (auto& p : e.players) {
    endDecoder(p->decoder);
    if (p->source) resetSource(p->source);
    if (!p->allBuffers.empty()) alDeleteBuffers(static_cast<ALsizei>(p->allBuffers.size()), p->allBuffers.data());
    if (p->ownSource) alDeleteSources(1, &p->ownSource);
  }
  e.players.clear();
  endDecoder(e.spare);
  reapDecoders(e.dyingDecoders, true);
  for (Slot& s : e.slots) {
    if (!s.source) continue;
    resetSource(s.source);
    alDeleteSources(1, &s.source);
  }
  for (Sample* sample : e.samples) {
    alDeleteBuffers(1, &sample->buffer);
    delete sample;
  }
  e.samples.clear();
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(e.context);
  alcCloseDevice(e.device);
}

Sample* SoundEngine::loadSample(const std::string& hostPath) {
  Pcm pcm;
  if (!decodeSoundFile(hostPath, pcm)) return nullptr;
  std::lock_guard<std::mutex> hold(impl_->lock);
  if (impl_->lost) return nullptr;
  alGetError();
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  if (alGetError() != AL_NO_ERROR) return nullptr;
  alBufferData(buffer, pcm.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, pcm.samples.data(),
               static_cast<ALsizei>(pcm.samples.size() * sizeof(std::int16_t)), pcm.rate);
  if (alGetError() != AL_NO_ERROR) {
    alDeleteBuffers(1, &buffer);
    return nullptr;
  }
  Sample* sample = new Sample;
  sample->buffer = buffer;
  sample->rate = pcm.rate;
  sample->channels = pcm.channels;
  sample->frames = pcm.frames();
  sample->defaults.frequency = pcm.rate;
  impl_->samples.insert(sample);
  return sample;
}

void SoundEngine::freeSample(Sample* sample) {
  std::lock_guard<std::mutex> hold(impl_->lock);
  if (!impl_->samples.erase(sample)) return;
  for (int i = 0; i < kEngineChannels; ++i) {
    Slot& s = impl_->slots[i];
    if (s.use == Slot::kSound && s.sample == sample) impl_->releaseSlot(i);
    if (s.alBuffer == sample->buffer) {  // stopped sources keep their buffer until then
      resetSource(s.source);
      s.alBuffer = 0;
      s.alLooping = false;
    }
  }
  alDeleteBuffers(1, &sample->buffer);
  delete sample;
}

SampleDefaults SoundEngine::defaults(const Sample* sample) const { return sample->defaults; }

void SoundEngine::setDefaults(Sample* sample, const SampleDefaults& d) {
  if (d.frequency > 0) sample->defaults.frequency = d.frequency;
  sample->defaults.volume = clampVolumeScale(d.volume);
  sample->defaults.pan = clampPanScale(d.pan);
  sample->defaults.priority = d.priority;
}

void SoundEngine::setLooping(Sample* sample, bool loop) { sample->loop = loop; }

void SoundEngine::Impl::releaseSlot(int slot) {
  Slot& s = slots[slot];
  if (s.use == Slot::kStream) s.forgetSourceState();
  s.use = Slot::kFree;
  s.sample = nullptr;
  s.stream = nullptr;
  s.paused = false;
  ++s.play;  // every reference to the finished play goes stale
  freeMask |= 1u << slot;
}

// A free slot, or -1. Slots known free come first; only sounds that may have
// ended by now are asked about, so a pool of looping sounds costs nothing.
int SoundEngine::Impl::claimSlot() {
  if (freeMask) return __builtin_ctz(freeMask);
  std::uint32_t now = monotonicMs();
  for (int i = 0; i < kEngineChannels; ++i) {
    Slot& s = slots[i];
    if (s.use != Slot::kSound || s.paused || s.looping) continue;
    if (s.surelyPlayingUntil && static_cast<std::int32_t>(s.surelyPlayingUntil - now) > 0) continue;
    ALint state = AL_STOPPED;
    alGetSourcei(s.source, AL_SOURCE_STATE, &state);
    if (state == AL_STOPPED || state == AL_INITIAL) {
      releaseSlot(i);
      return i;
    }
  }
  return -1;
}

ChannelRef SoundEngine::play(Sample* sample) {
  Impl& e = *impl_;
  std::lock_guard<std::mutex> hold(e.lock);
  int i = e.lost ? -1 : e.claimSlot();
  if (i < 0) return ChannelRef();
  Slot& s = e.slots[i];
  e.freeMask &= ~(1u << i);
  ++s.play;
  s.use = Slot::kSound;
  s.sample = sample;
  s.paused = false;
  s.looping = sample->loop;
  const SampleDefaults& d = sample->defaults;
  float pitch = pitchFor(d.frequency, sample->rate);
  // Until 20 ms before its end at this pitch the sound surely still plays.
  double ms = static_cast<double>(sample->frames) * 1000.0 / (sample->rate * static_cast<double>(pitch)) - 20.0;
  s.surelyPlayingUntil = ms > 1.0 && ms < 86400000.0 ? (monotonicMs() + static_cast<std::uint32_t>(ms)) | 1u : 0;
  if (s.alBuffer != sample->buffer) {
    alSourcei(s.source, AL_BUFFER, static_cast<ALint>(sample->buffer));
    s.alBuffer = sample->buffer;
  }
  if (s.alLooping != sample->loop) {
    alSourcei(s.source, AL_LOOPING, sample->loop ? AL_TRUE : AL_FALSE);
    s.alLooping = sample->loop;
  }
  e.setPitch(s, pitch);
  e.setGain(s, d.volume);
  e.setPan(s, d.pan);
  alSourcePlay(s.source);
  return ChannelRef{i, s.play};
}

namespace {

Slot* liveSlot(SoundEngine::Impl& e, ChannelRef ref) {
  if (ref.slot < 0 || ref.slot >= kEngineChannels) return nullptr;
  Slot& s = e.slots[ref.slot];
  return s.play == ref.play && s.use != Slot::kFree ? &s : nullptr;
}

}  // namespace

void SoundEngine::stop(ChannelRef ref) {
  std::lock_guard<std::mutex> hold(impl_->lock);
  Slot* s = liveSlot(*impl_, ref);
  if (!s) return;
  if (s->use == Slot::kStream) {
    impl_->stopPlayer(*s->stream);
    return;
  }
  alSourceStop(s->source);
  impl_->releaseSlot(ref.slot);
}

void SoundEngine::setPaused(ChannelRef ref, bool paused) {
  std::lock_guard<std::mutex> hold(impl_->lock);
  Slot* s = liveSlot(*impl_, ref);
  if (!s) return;
  if (s->use == Slot::kStream) {
    s->stream->paused = paused;
    if (paused) alSourcePause(s->source);
    else impl_->feed(*s->stream);
    return;
  }
  if (paused == s->paused) return;
  if (paused) {
    ALint state = AL_STOPPED;
    alGetSourcei(s->source, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) return;  // an ended sound is not brought back
    alSourcePause(s->source);
  } else {
    alSourcePlay(s->source);
    s->surelyPlayingUntil = 0;
  }
  s->paused = paused;
}

void SoundEngine::setFrequency(ChannelRef ref, int hertz) {
  std::lock_guard<std::mutex> hold(impl_->lock);
  Slot* s = liveSlot(*impl_, ref);
  if (!s || hertz <= 0) return;
  if (s->use == Slot::kStream) {
    s->stream->frequency = hertz;
    if (s->stream->rate > 0) alSourcef(s->source, AL_PITCH, pitchFor(hertz, s->stream->rate));
    return;
  }
  impl_->setPitch(*s, pitchFor(hertz, s->sample->rate));
  s->surelyPlayingUntil = 0;
}

void SoundEngine::setVolume(ChannelRef ref, int volume) {
  std::lock_guard<std::mutex> hold(impl_->lock);
  if (Slot* s = liveSlot(*impl_, ref)) {
    if (s->use == Slot::kStream) {
      s->stream->volume = volume;
      impl_->applyGain(s->source, volume);
    } else {
      impl_->setGain(*s, volume);
    }
  }
}

void SoundEngine::setPan(ChannelRef ref, int pan) {
  std::lock_guard<std::mutex> hold(impl_->lock);
  if (Slot* s = liveSlot(*impl_, ref)) {
    if (s->use == Slot::kStream) {
      s->stream->pan = pan;
      impl_->applyPan(s->source, pan);
    } else {
      impl_->setPan(*s, pan);
    }
  }
}

namespace {

bool playingLocked(SoundEngine::Impl& e, ChannelRef ref, std::uint32_t& now) {
  Slot* s = liveSlot(e, ref);
  if (!s) return false;
  if (s->use == Slot::kStream || s->paused || s->looping) return true;
  if (s->surelyPlayingUntil) {
    if (!now) now = monotonicMs();
    if (static_cast<std::int32_t>(s->surelyPlayingUntil - now) > 0) return true;
  }
  ALint state = AL_STOPPED;
  alGetSourcei(s->source, AL_SOURCE_STATE, &state);
  if (state == AL_PLAYING || state == AL_PAUSED) return true;
  e.releaseSlot(ref.slot);
  return false;
}

}  // namespace

bool SoundEngine::isPlaying(ChannelRef ref) {
  std::lock_guard<std::mutex> hold(impl_->lock);
  std::uint32_t now = 0;
  return playingLocked(*impl_, ref, now);
}

int SoundEngine::firstIdle(const ChannelRef* refs, int count) {
  std::lock_guard<std::mutex> hold(impl_->lock);
  std::uint32_t now = 0;
  for (int i = 0; i < count; ++i)
    if (!playingLocked(*impl_, refs[i], now)) return i;
  return -1;
}

int SoundEngine::busyChannels() {
  std::lock_guard<std::mutex> hold(impl_->lock);
  return kEngineChannels - __builtin_popcount(impl_->freeMask);
}

}  // namespace audio
}  // namespace kr
