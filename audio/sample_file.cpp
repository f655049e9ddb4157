#include "audio/sample_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace kr {
namespace audio {

namespace {

constexpr sf_count_t kReadFrames = 8192;

bool decodeOpen(SNDFILE* file, const SF_INFO& info, Pcm& out) {
  if (!file) return false;
  if (info.channels < 1 || info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate) {
    sf_close(file);
    return false;
  }
  // Floating-point files are scaled to the 16-bit range instead of wrapping.
  sf_command(file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
  out.rate = info.samplerate;
  out.channels = std::min(info.channels, 2);
  out.samples.clear();
  std::vector<std::int16_t> chunk(static_cast<std::size_t>(kReadFrames) * info.channels);
  std::int64_t total = 0;
  try {
    while (total < kMaxSampleFrames) {
      sf_count_t want = std::min<sf_count_t>(kReadFrames, kMaxSampleFrames - total);
      sf_count_t got = sf_readf_short(file, chunk.data(), want);
      if (got <= 0) break;
      std::size_t at = out.samples.size();
      out.samples.resize(at + static_cast<std::size_t>(got) * out.channels);
      if (info.channels <= 2)
        std::memcpy(&out.samples[at], chunk.data(), static_cast<std::size_t>(got) * info.channels * 2);
      else
        downmixToStereo(chunk.data(), info.channels, got, &out.samples[at]);
      total += got;
    }
  } catch (...) {
    sf_close(file);
    throw;
  }
  sf_close(file);
  return total > 0;
}

struct MemoryFile {
  const std::uint8_t* data;
  sf_count_t size;
  sf_count_t pos;
};

sf_count_t memLength(void* user) { return static_cast<MemoryFile*>(user)->size; }
sf_count_t memSeek(sf_count_t offset, int whence, void* user) {
  MemoryFile* m = static_cast<MemoryFile*>(user);
  sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->size;
  sf_count_t to = base + offset;
  if (to < 0 || to > m->size) return -1;
  return m->pos = to;
}
sf_count_t memRead(void* ptr, sf_count_t count, void* user) {
  MemoryFile* m = static_cast<MemoryFile*>(user);
  sf_count_t n = std::max<sf_count_t>(0, std::min(count, m->size - m->pos));
  if (n) std::memcpy(ptr, m->data + m->pos, static_cast<std::size_t>(n));
  m->pos += n;
  return n;
}
sf_count_t memWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t memTell(void* user) { return static_cast<MemoryFile*>(user)->pos; }

}  // namespace

void downmixToStereo(const std::int16_t* in, int inChannels, std::int64_t frames, std::int16_t* out) {
  int lefts = (inChannels + 1) / 2, rights = inChannels / 2;
  for (std::int64_t f = 0; f < frames; ++f) {
    const std::int16_t* frame = in + f * inChannels;
    long left = 0, right = 0;
    for (int c = 0; c < inChannels; ++c) (c % 2 ? right : left) += frame[c];
    out[2 * f] = static_cast<std::int16_t>(left / lefts);
    out[2 * f + 1] = static_cast<std::int16_t>(rights ? right / rights : left / lefts);
  }
}

bool decodeSoundFile(const std::string& hostPath, Pcm& out) {
  int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  SF_INFO info = {};
  // The descriptor stays ours, closed here whatever libsndfile made of it.
  bool ok = false;
  try {
    ok = decodeOpen(sf_open_fd(fd, SFM_READ, &info, SF_FALSE), info, out);
  } catch (...) {
    close(fd);
    throw;
  }
  close(fd);
  return ok;
}

bool decodeSoundBytes(const std::uint8_t* data, std::size_t size, Pcm& out) {
  SF_VIRTUAL_IO io = {memLength, memSeek, memRead, memWrite, memTell};
  MemoryFile m = {data, static_cast<sf_count_t>(size), 0};
  SF_INFO info = {};
  return decodeOpen(sf_open_virtual(&io, SFM_READ, &info, &m), info, out);
}

}  // namespace audio
}  // namespace kr
