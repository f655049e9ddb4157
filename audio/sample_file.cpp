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

constexpr sf_count_t kReadFrames = 65536;

// fileBytes bounds what the header may claim: a data chunk claiming a gigabyte
// over two kilobytes gets room for what can be there, and more only as it comes.
bool decodeOpen(SNDFILE* file, const SF_INFO& info, std::int64_t fileBytes, Pcm& out) {
  if (!file) return false;
  if (info.channels < 1 || info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate) {
    sf_close(file);
    return false;
  }
  scaleFloatSamples(file, info);
  out.rate = info.samplerate;
  out.channels = std::min(info.channels, 2);
  out.samples.clear();
  std::int64_t expected = std::min<std::int64_t>({info.frames, kMaxSampleFrames, fileBytes * 16 / info.channels});
  std::vector<std::int16_t, UninitialisedAllocator<std::int16_t>> chunk;
  std::int64_t total = 0;
  try {
    if (expected > 0) out.samples.reserve(static_cast<std::size_t>(expected) * out.channels);
    chunk.resize(static_cast<std::size_t>(kReadFrames) * info.channels);
    while (total < kMaxSampleFrames) {
      // What the header promised is read straight into place; anything beyond
      // it goes through the chunk, so the vector grows only for real data.
      bool direct = total < expected && info.channels <= 2;
      sf_count_t want = std::min<sf_count_t>(direct ? expected - total : kReadFrames, kMaxSampleFrames - total);
      std::size_t at = out.samples.size();
      if (direct) out.samples.resize(at + static_cast<std::size_t>(want) * out.channels);
      sf_count_t got = sf_readf_short(file, direct ? out.samples.data() + at : chunk.data(), want);
      if (got < 0) got = 0;
      if (!direct) {
        out.samples.resize(at + static_cast<std::size_t>(got) * out.channels);
        if (info.channels > 2) downmixToStereo(chunk.data(), info.channels, got, out.samples.data() + at);
        else std::copy(chunk.data(), chunk.data() + got * info.channels, out.samples.data() + at);
      } else {
        out.samples.resize(at + static_cast<std::size_t>(got) * out.channels);
      }
      total += got;
      if (got < want) break;
    }
  } catch (...) {
    sf_close(file);
    throw;
  }
  sf_close(file);
  if (out.samples.capacity() - out.samples.size() > out.samples.size() / 8) out.samples.shrink_to_fit();
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

void scaleFloatSamples(SNDFILE* file, const SF_INFO& info) {
  int sub = info.format & SF_FORMAT_SUBMASK;
  if (sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE) sf_command(file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
}

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

namespace {

// A regular file opened for reading (never a device or a pipe), or -1.
int openRegularFile(const std::string& hostPath, struct stat& st) {
  int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

bool probeSoundFile(const std::string& hostPath) {
  struct stat st;
  int fd = openRegularFile(hostPath, st);
  if (fd < 0) return false;
  SF_INFO info = {};
  SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
  bool ok = file && info.channels >= 1 && info.samplerate >= kMinSampleRate && info.samplerate <= kMaxSampleRate;
  if (file) sf_close(file);
  close(fd);
  return ok;
}

bool decodeSoundFile(const std::string& hostPath, Pcm& out) {
  struct stat st;
  int fd = openRegularFile(hostPath, st);
  if (fd < 0) return false;
  SF_INFO info = {};
  // The descriptor stays ours, closed here whatever libsndfile made of it.
  bool ok = false;
  try {
    ok = decodeOpen(sf_open_fd(fd, SFM_READ, &info, SF_FALSE), info, st.st_size, out);
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
  return decodeOpen(sf_open_virtual(&io, SFM_READ, &info, &m), info, static_cast<std::int64_t>(size), out);
}

}  // namespace audio
}  // namespace kr
