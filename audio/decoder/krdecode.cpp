// krdecode: decodes one music file for the runtime and writes its PCM to the
// socket on descriptor 3. Run as a separate process so that a damaged file can
// crash or hang only this process, never the game.
#include <dlfcn.h>
#include <fcntl.h>
#include <fluidsynth.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xmp.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/decoder_process.h"
#include "audio/music_kind.h"
#include "audio/sample_file.h"

using namespace kr::audio;

namespace {

constexpr int kSocket = 3;
constexpr int kChunkFrames = 2048;
constexpr int kSongRate = 44100;
// Nothing plays longer than this; a song that loops forever ends here.
constexpr std::int64_t kMaxSeconds = 3 * 3600;
constexpr std::size_t kMaxSongBytes = 64 << 20;

bool readAll(int fd, void* data, std::size_t size) {
  char* p = static_cast<char*>(data);
  while (size) {
    ssize_t n = read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool writeAll(const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size) {
    ssize_t n = write(kSocket, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool reply(int kind, int rate, int channels) {
  DecodeReply r = {kDecodeMagic, kind, rate, channels};
  return writeAll(&r, sizeof r);
}

int openRegular(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// A sampled stream (WAV, OGG, FLAC, MP3) by content, through libsndfile.
bool playStream(const std::string& path, int kind) {
  int fd = openRegular(path);
  if (fd < 0) return false;
  SF_INFO info = {};
  SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
  if (!file) return false;
  if (info.channels < 1 || info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate) {
    sf_close(file);
    return false;
  }
  scaleFloatSamples(file, info);
  int channels = info.channels > 2 ? 2 : info.channels;
  if (!reply(kind, info.samplerate, channels)) return true;
  std::vector<std::int16_t> in(static_cast<std::size_t>(kChunkFrames) * info.channels);
  std::vector<std::int16_t> out(static_cast<std::size_t>(kChunkFrames) * 2);
  std::int64_t limit = kMaxSeconds * info.samplerate, done = 0;
  while (done < limit) {
    sf_count_t got = sf_readf_short(file, in.data(), kChunkFrames);
    if (got <= 0) break;
    const std::int16_t* data = in.data();
    if (info.channels > 2) {
      downmixToStereo(in.data(), info.channels, got, out.data());
      data = out.data();
    }
    if (!writeAll(data, static_cast<std::size_t>(got) * channels * 2)) break;
    done += got;
  }
  sf_close(file);
  return true;
}

bool readSmallFile(const std::string& path, std::vector<char>& bytes) {
  int fd = openRegular(path);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && st.st_size > 0 && static_cast<std::size_t>(st.st_size) <= kMaxSongBytes;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(st.st_size));
    ok = readAll(fd, bytes.data(), bytes.size());
  }
  close(fd);
  return ok;
}

// A tracker module through libxmp, from memory: its depackers never run.
bool playTracker(const std::string& path, int kind) {
  std::vector<char> bytes;
  if (!readSmallFile(path, bytes)) return false;
  SongFormat format = recogniseSong(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  if (format == SongFormat::kNone || format == SongFormat::kMidi) return false;
  xmp_context ctx = xmp_create_context();
  if (xmp_load_module_from_memory(ctx, bytes.data(), static_cast<long>(bytes.size())) != 0) {
    xmp_free_context(ctx);
    return false;
  }
  if (xmp_start_player(ctx, kSongRate, 0) != 0) {
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return false;
  }
  if (reply(kind, kSongRate, 2)) {
    std::vector<std::int16_t> buffer(static_cast<std::size_t>(kChunkFrames) * 2);
    for (std::int64_t done = 0; done < kMaxSeconds * kSongRate; done += kChunkFrames) {
      if (xmp_play_buffer(ctx, buffer.data(), static_cast<int>(buffer.size() * 2), 1) != 0) break;
      if (!writeAll(buffer.data(), buffer.size() * 2)) break;
    }
  }
  xmp_end_player(ctx);
  xmp_release_module(ctx);
  xmp_free_context(ctx);
  return true;
}

const char* soundFont() {
  static const char* const kFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
                                       "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
  for (const char* font : kFonts)
    if (access(font, R_OK) == 0) return font;
  return nullptr;
}

// FluidSynth and what it pulls in (GLib, audio back-ends) take longer to load
// than the rest of this process: it is opened only for a MIDI file.
struct Synth {
#define KR_FLUID(name) decltype(&::name) name = nullptr;
#define KR_FLUID_FUNCTIONS                                                                                   \
  KR_FLUID(new_fluid_settings) KR_FLUID(fluid_settings_setnum) KR_FLUID(fluid_settings_setstr)               \
  KR_FLUID(fluid_settings_setint) KR_FLUID(new_fluid_synth) KR_FLUID(new_fluid_player)                       \
  KR_FLUID(fluid_synth_sfload) KR_FLUID(fluid_player_add_mem) KR_FLUID(fluid_player_play)                    \
  KR_FLUID(fluid_player_get_status) KR_FLUID(fluid_player_get_current_tick)                                  \
  KR_FLUID(fluid_player_get_total_ticks) KR_FLUID(fluid_synth_write_s16) KR_FLUID(delete_fluid_player)       \
  KR_FLUID(delete_fluid_synth) KR_FLUID(delete_fluid_settings) KR_FLUID(fluid_set_log_function)
  KR_FLUID_FUNCTIONS
#undef KR_FLUID

  bool load() {
    void* library = dlopen("libfluidsynth.so.3", RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;
    bool all = true;
#define KR_FLUID(name) all = all && (name = reinterpret_cast<decltype(name)>(dlsym(library, #name)));
    KR_FLUID_FUNCTIONS
#undef KR_FLUID
    return all;
  }
};

// A MIDI file through FluidSynth and the General MIDI SoundFont.
bool playMidi(const std::string& path, int kind) {
  std::vector<char> bytes;
  if (!readSmallFile(path, bytes)) return false;
  if (recogniseSong(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) != SongFormat::kMidi)
    return false;
  const char* font = soundFont();
  Synth f;
  if (!font || !f.load()) return false;
  for (int level = 0; level < LAST_LOG_LEVEL; ++level) f.fluid_set_log_function(level, nullptr, nullptr);
  fluid_settings_t* settings = f.new_fluid_settings();
  f.fluid_settings_setnum(settings, "synth.sample-rate", kSongRate);
  f.fluid_settings_setstr(settings, "player.timing-source", "sample");
  f.fluid_settings_setint(settings, "synth.lock-memory", 0);
  fluid_synth_t* synth = f.new_fluid_synth(settings);
  fluid_player_t* player = synth ? f.new_fluid_player(synth) : nullptr;
  bool ok = player && f.fluid_synth_sfload(synth, font, 1) != FLUID_FAILED &&
            f.fluid_player_add_mem(player, bytes.data(), bytes.size()) == FLUID_OK &&
            f.fluid_player_play(player) == FLUID_OK;
  if (ok && reply(kind, kSongRate, 2)) {
    std::vector<std::int16_t> buffer(static_cast<std::size_t>(kChunkFrames) * 2);
    // After the last event, one second more lets the notes ring out.
    std::int64_t tail = kSongRate;
    for (std::int64_t done = 0; done < kMaxSeconds * kSongRate && tail > 0; done += kChunkFrames) {
      // The player reports its end late; the last tick is the end of the song.
      if (f.fluid_player_get_status(player) != FLUID_PLAYER_PLAYING ||
          f.fluid_player_get_current_tick(player) >= f.fluid_player_get_total_ticks(player))
        tail -= kChunkFrames;
      f.fluid_synth_write_s16(synth, kChunkFrames, buffer.data(), 0, 2, buffer.data(), 1, 2);
      if (!writeAll(buffer.data(), buffer.size() * 2)) break;
    }
  }
  if (player) f.delete_fluid_player(player);
  if (synth) f.delete_fluid_synth(synth);
  f.delete_fluid_settings(settings);
  return ok;
}

}  // namespace

int main() {
  // Die with the game: at once if it is gone already, by signal otherwise.
  pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) return 0;
  DecodeRequest request;
  if (!readAll(kSocket, &request, sizeof request) || request.magic != kDecodeMagic ||
      request.kindCount == 0 || request.kindCount > kMaxDecodeKinds || request.pathBytes > kMaxDecodePath)
    return 1;
  std::string path(request.pathBytes, '\0');
  if (!readAll(kSocket, &path[0], path.size())) return 1;
  for (std::uint32_t i = 0; i < request.kindCount; ++i) {
    int kind = static_cast<int>(request.kinds[i]);
    bool accepted = kind == static_cast<int>(DecodeKind::kStream)    ? playStream(path, kind)
                    : kind == static_cast<int>(DecodeKind::kTracker) ? playTracker(path, kind)
                    : kind == static_cast<int>(DecodeKind::kMidi)    ? playMidi(path, kind)
                                                                     : false;
    if (accepted) return 0;
  }
  reply(0, 0, 0);
  return 0;
}
