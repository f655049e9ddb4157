// Music players: PCM from a decoder process queued into a streaming source by
// the engine's feeder thread. The main thread only starts, stops and steers.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "audio/engine_internal.h"
#include "audio/sample_file.h"

namespace kr {
namespace audio {

namespace {

constexpr int kBuffers = 6;
constexpr int kBufferFrames = 4096;
constexpr int kFeedPeriodMs = 5;
// Without music the feeder still looks at the device this often.
constexpr int kIdlePeriodMs = 100;
// A decoder that has not answered a play in this time is taken for hung.
constexpr int kOpenTimeoutMs = 5000;
// Decoders a play is handed to before it gives up (one may die before answering).
constexpr int kDecodeAttempts = 2;
// Nor one that has sent nothing for this long while its source starves.
constexpr std::uint32_t kStallMs = 3000;

float streamPitch(const MusicPlayer::State& p) {
  if (p.frequency <= 0 || p.rate <= 0) return 1.0f;
  float pitch = static_cast<float>(p.frequency) / static_cast<float>(p.rate);
  return pitch < 1.0f / 1024 ? 1.0f / 1024 : pitch > 255.0f ? 255.0f : pitch;
}

}  // namespace

MusicPlayer* SoundEngine::newPlayer(bool onEngineChannel) {
  Impl& e = *impl_;
  std::lock_guard<std::mutex> hold(e.lock);
  auto state = std::make_unique<MusicPlayer::State>();
  MusicPlayer::State& p = *state;
  p.engine = &e;
  p.onEngineChannel = onEngineChannel;
  alGetError();
  if (!onEngineChannel) {
    alGenSources(1, &p.ownSource);
    if (alGetError() != AL_NO_ERROR) p.ownSource = 0;
    if (p.ownSource) {
      alSourcei(p.ownSource, AL_SOURCE_RELATIVE, AL_TRUE);
      alSourcef(p.ownSource, AL_ROLLOFF_FACTOR, 0.0f);
      alSource3f(p.ownSource, AL_POSITION, 0.0f, 0.0f, -1.0f);
    }
  }
  p.allBuffers.resize(kBuffers);
  alGenBuffers(kBuffers, p.allBuffers.data());
  if (alGetError() != AL_NO_ERROR) p.allBuffers.clear();
  p.freeBuffers = p.allBuffers;
  p.handle = std::make_unique<MusicPlayer>(&p);
  MusicPlayer* handle = p.handle.get();
  e.players.push_back(std::move(state));
  return handle;
}

void SoundEngine::deletePlayer(MusicPlayer* player) {
  Impl& e = *impl_;
  std::lock_guard<std::mutex> hold(e.lock);
  for (auto it = e.players.begin(); it != e.players.end(); ++it) {
    MusicPlayer::State& p = **it;
    if (p.handle.get() != player) continue;
    e.stopPlayer(p);
    if (!p.allBuffers.empty()) alDeleteBuffers(static_cast<ALsizei>(p.allBuffers.size()), p.allBuffers.data());
    if (p.ownSource) alDeleteSources(1, &p.ownSource);
    e.players.erase(it);
    return;
  }
}

// Hands a waiting play to the spare decoder. False when there is no spare or it
// did not take the request (it died meanwhile): the play waits for the next one.
bool SoundEngine::Impl::startDecode(MusicPlayer::State& p) {
  if (!spare.running()) return false;
  std::vector<std::uint32_t> kinds;
  for (DecodeKind k : p.kinds) kinds.push_back(static_cast<std::uint32_t>(k));
  DecoderProcess d = spare;
  spare = DecoderProcess();
  wantSpare = true;
  ++p.attempts;
  if (!sendDecodeRequest(d, p.path, kinds)) {
    retire(d);
    return false;
  }
  p.decoder = d;
  p.phase = MusicPlayer::State::kOpening;
  p.endOfData = false;
  p.pendingUsed = 0;
  p.lastFedMs = monotonicMs();
  return true;
}

bool SoundEngine::Impl::acceptReply(MusicPlayer::State& p, const DecodeReply& reply) {
  if (reply.kind == 0 || reply.rate < kMinSampleRate || reply.rate > kMaxSampleRate ||
      (reply.channels != 1 && reply.channels != 2))
    return false;
  p.rate = reply.rate;
  p.channels = reply.channels;
  p.format = reply.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
  p.pending.assign(static_cast<std::size_t>(kBufferFrames) * reply.channels * 2, 0);
  p.pendingUsed = 0;
  p.phase = MusicPlayer::State::kPlaying;
  alSourcef(p.source, AL_PITCH, streamPitch(p));
  applyGain(p.source, p.volume);
  if (p.onEngineChannel) applyPan(p.source, p.pan);
  p.lastFedMs = monotonicMs();
  return true;
}

// Ends the play in progress. A player with a next file (the CD) goes on with it.
void SoundEngine::Impl::finishPlay(MusicPlayer::State& p, bool mayContinue) {
  retire(p.decoder);
  if (p.source) {
    alSourceStop(p.source);
    alSourcei(p.source, AL_BUFFER, 0);
  }
  p.freeBuffers = p.allBuffers;
  p.queued = 0;
  p.pendingUsed = 0;
  std::string nextPath;
  if (mayContinue && p.next && p.next(p.nextContext, nextPath)) {
    p.path = nextPath;
    p.attempts = 0;
    p.phase = MusicPlayer::State::kStarting;  // the feeder hands it to a decoder
    return;
  }
  p.phase = MusicPlayer::State::kIdle;
  p.paused = false;
  if (p.onEngineChannel && p.ref.slot >= 0) {
    Slot& s = slots[p.ref.slot];
    if (s.play == p.ref.play && s.stream == &p) releaseSlot(p.ref.slot);
    p.ref = ChannelRef();
    p.source = 0;
  }
}

void SoundEngine::Impl::stopPlayer(MusicPlayer::State& p) {
  if (p.phase != MusicPlayer::State::kIdle) finishPlay(p, false);
}

void SoundEngine::Impl::feed(MusicPlayer::State& p) {
  if (p.phase != MusicPlayer::State::kPlaying || !p.source) return;
  ALint processed = 0;
  alGetSourcei(p.source, AL_BUFFERS_PROCESSED, &processed);
  for (; processed > 0 && p.queued > 0; --processed, --p.queued) {
    ALuint b = 0;
    alSourceUnqueueBuffers(p.source, 1, &b);
    p.freeBuffers.push_back(b);
  }
  std::uint32_t now = monotonicMs();
  const std::size_t frameBytes = static_cast<std::size_t>(p.channels) * 2;
  while (!p.paused && !p.freeBuffers.empty() && !p.endOfData) {
    ssize_t n = recv(p.decoder.fd, p.pending.data() + p.pendingUsed, p.pending.size() - p.pendingUsed, 0);
    if (n > 0) {
      p.pendingUsed += static_cast<std::size_t>(n);
      p.lastFedMs = now;
    } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      p.endOfData = true;  // the decoder finished, or died: what came still plays
      retire(p.decoder);
    } else {
      break;
    }
    std::size_t whole = p.pendingUsed / frameBytes * frameBytes;
    if (p.pendingUsed == p.pending.size() || (p.endOfData && whole > 0)) {
      ALuint b = p.freeBuffers.back();
      p.freeBuffers.pop_back();
      alBufferData(b, p.format, p.pending.data(), static_cast<ALsizei>(whole), p.rate);
      alSourceQueueBuffers(p.source, 1, &b);
      ++p.queued;
      p.pendingUsed = 0;
    }
  }
  if (p.freeBuffers.empty() || p.paused) p.lastFedMs = now;
  if (!p.endOfData && now - p.lastFedMs > kStallMs) {
    p.endOfData = true;  // hung decoder: the channel ends, the game goes on
    retire(p.decoder);
  }
  if (p.paused) return;
  ALint state = AL_STOPPED;
  alGetSourcei(p.source, AL_SOURCE_STATE, &state);
  if (p.queued > 0 && state != AL_PLAYING) alSourcePlay(p.source);
  if (p.endOfData && p.queued == 0) finishPlay(p, true);
}

// A decoder that dies before answering (a spare that died, or a crash on this
// file) is replaced once; one that hangs is not.
void SoundEngine::Impl::checkOpening(MusicPlayer::State& p) {
  DecodeReply reply;
  int got = readDecodeReply(p.decoder, reply);
  if (got > 0) {
    if (!acceptReply(p, reply)) finishPlay(p, false);
  } else if (got < 0 && p.attempts < kDecodeAttempts) {
    retire(p.decoder);
    p.phase = MusicPlayer::State::kStarting;
  } else if (got < 0 || monotonicMs() - p.lastFedMs > static_cast<std::uint32_t>(kOpenTimeoutMs)) {
    finishPlay(p, false);
  }
}

void SoundEngine::Impl::startWaitingPlays() {
  for (auto& player : players) {
    MusicPlayer::State& p = *player;
    if (p.phase != MusicPlayer::State::kStarting) continue;
    if (!startDecode(p) && p.attempts >= kDecodeAttempts) finishPlay(p, false);
  }
}

// Starts a spare decoder with the lock let go, so commands never wait for a
// process to start. False when none could be started.
bool SoundEngine::Impl::spawnSpare(std::unique_lock<std::mutex>& lk) {
  wantSpare = false;  // a play may ask again while the lock is let go
  if (spare.running()) return true;
  lk.unlock();
  DecoderProcess d = spawnDecoder();
  lk.lock();
  if (quitting || spare.running()) retire(d);
  else spare = d;
  return spare.running() || quitting;
}

void SoundEngine::Impl::wakeFeeder() {
  std::uint64_t one = 1;
  if (write(wakeFd, &one, sizeof one) < 0) {
    // Full counter or no eventfd: the feeder still looks at least every kIdlePeriodMs.
  }
}

namespace {

// A play whose decoder has yet to answer, or to send its first buffer's worth.
bool waitsForDecoder(const MusicPlayer::State& p) {
  return p.decoder.fd >= 0 && (p.phase == MusicPlayer::State::kOpening ||
                               (p.phase == MusicPlayer::State::kPlaying && p.queued == 0 && !p.paused));
}

}  // namespace

// Sleeps until a play is asked for, a decoder answers, or ms have passed.
void SoundEngine::Impl::feederSleep(std::unique_lock<std::mutex>& lk, int ms) {
  pollfd fds[1 + 8];
  nfds_t count = 0;
  fds[count++] = {wakeFd, POLLIN, 0};
  for (auto& p : players)
    if (waitsForDecoder(*p) && count < sizeof fds / sizeof fds[0]) fds[count++] = {p->decoder.fd, POLLIN, 0};
  lk.unlock();
  if (poll(fds, count, ms) > 0 && (fds[0].revents & POLLIN)) {
    std::uint64_t wakes;
    if (read(wakeFd, &wakes, sizeof wakes) < 0) {
      // Another round drains it.
    }
  }
  lk.lock();
}

void SoundEngine::Impl::feederLoop() {
  std::unique_lock<std::mutex> lk(lock);
  while (!quitting) {
    checkConnected();
    if (!dyingDecoders.empty()) reapDecoders(dyingDecoders, false);
    bool active = false, starting = false, waiting = false;
    for (auto& player : players) {
      MusicPlayer::State& p = *player;
      if (p.phase == MusicPlayer::State::kOpening) checkOpening(p);
      if (p.phase == MusicPlayer::State::kPlaying) feed(p);
      starting = starting || p.phase == MusicPlayer::State::kStarting;
      waiting = waiting || waitsForDecoder(p);
      active = active || p.phase != MusicPlayer::State::kIdle;
    }
    if (starting) {
      if (spawnSpare(lk)) {
        startWaitingPlays();
      } else {
        for (auto& player : players)  // no decoder can run at all
          if (player->phase == MusicPlayer::State::kStarting) finishPlay(*player, false);
      }
      continue;
    }
    // The next spare starts once the plays just begun have their first sound.
    if (wantSpare && !waiting) {
      spawnSpare(lk);
      continue;
    }
    feederSleep(lk, active ? kFeedPeriodMs : kIdlePeriodMs);
  }
}

bool MusicPlayer::play(const std::string& hostPath, const std::vector<DecodeKind>& kinds) {
  SoundEngine::Impl& e = *state_->engine;
  State& p = *state_;
  {
    std::lock_guard<std::mutex> hold(e.lock);
    e.stopPlayer(p);
    if (p.allBuffers.empty() || e.lost) return false;
    if (p.onEngineChannel) {
      int slot = e.claimSlot();
      if (slot < 0) return false;
      Slot& s = e.slots[slot];
      e.freeMask &= ~(1u << slot);
      ++s.play;
      s.use = Slot::kStream;
      s.stream = &p;
      s.paused = false;
      if (s.alBuffer) alSourcei(s.source, AL_BUFFER, 0);  // a stopped sound's buffer
      s.forgetSourceState();
      p.ref = ChannelRef{slot, s.play};
      p.source = s.source;
    } else {
      p.source = p.ownSource;
      if (!p.source) return false;
    }
    p.path = hostPath;
    p.kinds = kinds;
    p.paused = false;
    p.attempts = 0;
    p.phase = State::kStarting;
  }
  e.wakeFeeder();
  return true;
}

void MusicPlayer::stop() {
  std::lock_guard<std::mutex> hold(state_->engine->lock);
  state_->engine->stopPlayer(*state_);
}

void MusicPlayer::setPaused(bool paused) {
  SoundEngine::Impl& e = *state_->engine;
  std::lock_guard<std::mutex> hold(e.lock);
  State& p = *state_;
  if (p.phase == State::kIdle || p.paused == paused) return;
  p.paused = paused;
  if (paused) {
    if (p.source) alSourcePause(p.source);
  } else {
    e.feed(p);
  }
}

void MusicPlayer::setVolume(int volume) {
  std::lock_guard<std::mutex> hold(state_->engine->lock);
  state_->volume = clampVolumeScale(volume);
  if (state_->source) state_->engine->applyGain(state_->source, state_->volume);
}

void MusicPlayer::setPan(int pan) {
  std::lock_guard<std::mutex> hold(state_->engine->lock);
  state_->pan = clampPanScale(pan);
  if (state_->source && state_->onEngineChannel) state_->engine->applyPan(state_->source, state_->pan);
}

void MusicPlayer::setFrequency(int hertz) {
  std::lock_guard<std::mutex> hold(state_->engine->lock);
  if (hertz <= 0) return;
  state_->frequency = hertz;
  if (state_->source && state_->phase == State::kPlaying) alSourcef(state_->source, AL_PITCH, streamPitch(*state_));
}

bool MusicPlayer::isPlaying() {
  std::lock_guard<std::mutex> hold(state_->engine->lock);
  return state_->phase != State::kIdle;
}

ChannelRef MusicPlayer::channel() {
  std::lock_guard<std::mutex> hold(state_->engine->lock);
  return state_->ref;
}

void MusicPlayer::setNextFile(NextFile next, void* context) {
  std::lock_guard<std::mutex> hold(state_->engine->lock);
  state_->next = next;
  state_->nextContext = context;
}

}  // namespace audio
}  // namespace kr
