#include "audio/music_kind.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

namespace kr {
namespace audio {

namespace {

bool at(const std::uint8_t* head, std::size_t size, std::size_t offset, const char* text) {
  std::size_t n = std::strlen(text);
  return offset + n <= size && std::memcmp(head + offset, text, n) == 0;
}

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// The 31-instrument signatures; the old 15-instrument layout has none and is
// not taken.
bool modSignature(const std::uint8_t* s) {
  static const char* const kFixed[] = {"M.K.", "M!K!", "M&K!", "FLT4", "FLT8", "CD81", "OKTA", "OCTA"};
  for (const char* sig : kFixed)
    if (std::memcmp(s, sig, 4) == 0) return true;
  if (isDigit(s[0]) && std::memcmp(s + 1, "CHN", 3) == 0) return s[0] != '0';
  if (isDigit(s[0]) && isDigit(s[1]) && s[2] == 'C' && (s[3] == 'H' || s[3] == 'N'))
    return s[0] != '0' || s[1] != '0';
  return false;
}

}  // namespace

SongFormat recogniseSong(const std::uint8_t* head, std::size_t size) {
  if (at(head, size, 0, "MThd") && size >= 14 && head[7] == 6) return SongFormat::kMidi;
  if (at(head, size, 0, "Extended Module: ") && size >= 60 && head[37] == 0x1A) return SongFormat::kXm;
  if (at(head, size, 0, "IMPM")) return SongFormat::kIt;
  if (at(head, size, 44, "SCRM") && head[29] == 16) return SongFormat::kS3m;
  if (size >= kSongHeadBytes && modSignature(head + 1080)) return SongFormat::kMod;
  return SongFormat::kNone;
}

int readFileHead(const std::string& hostPath, std::uint8_t (&head)[kSongHeadBytes]) {
  int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  int size = -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    size = 0;
    while (size < static_cast<int>(sizeof head)) {
      ssize_t n = read(fd, head + size, sizeof head - static_cast<std::size_t>(size));
      if (n <= 0) break;
      size += static_cast<int>(n);
    }
  }
  close(fd);
  return size;
}

namespace {

std::uint32_t le16(const std::uint8_t* p) { return p[0] | p[1] << 8; }
std::uint32_t le32(const std::uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

bool saneRate(std::uint32_t rate) { return rate >= 1 && rate <= 384000; }

// A RIFF WAVE whose format chunk lies in the head: integer PCM or float, plainly
// or in the extensible layout, with a sane rate and channel count.
bool wavHead(const std::uint8_t* head, std::size_t size) {
  if (!at(head, size, 0, "RIFF") || !at(head, size, 8, "WAVE")) return false;
  for (std::size_t chunk = 12; chunk + 8 <= size;) {
    std::uint32_t bytes = le32(head + chunk + 4);
    const std::uint8_t* body = head + chunk + 8;
    if (at(head, size, chunk, "fmt ")) {
      // 16 plain, 18 with an empty extension, 40 extensible; odd sizes misplace the next chunk.
      if (bytes < 16 || bytes > 40 || (bytes & 1) || chunk + 8 + 16 > size) return false;
      std::uint32_t tag = le16(body), channels = le16(body + 2), bits = le16(body + 14);
      if (tag == 0xFFFE) {
        if (bytes < 40 || chunk + 8 + 26 > size) return false;
        tag = le16(body + 24);  // the sub-format GUID starts with the plain tag
      }
      bool pcm = tag == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
      bool real = tag == 3 && (bits == 32 || bits == 64);
      return (pcm || real) && channels >= 1 && channels <= 8 && saneRate(le32(body + 4));
    }
    if (bytes > size) return false;
    chunk += 8 + bytes + (bytes & 1);
  }
  return false;
}

// STREAMINFO is always the first metadata block.
bool flacHead(const std::uint8_t* head, std::size_t size) {
  if (!at(head, size, 0, "fLaC") || size < 8 + 34) return false;
  if ((head[4] & 0x7F) != 0 || head[5] != 0 || head[6] != 0 || head[7] != 34) return false;
  const std::uint8_t* info = head + 8;
  std::uint32_t rate = info[10] << 12 | info[11] << 4 | info[12] >> 4;
  std::uint32_t bits = ((info[12] & 1) << 4 | info[13] >> 4) + 1;
  return saneRate(rate) && bits >= 8 && bits <= 24;
}

// The first page of a logical stream carries the codec's identification header.
bool oggHead(const std::uint8_t* head, std::size_t size) {
  if (!at(head, size, 0, "OggS") || size < 27 || head[4] != 0 || head[5] != 2) return false;
  std::size_t packet = 27 + head[26];
  if (at(head, size, packet, "\x01vorbis")) {
    if (packet + 16 > size) return false;
    return le32(head + packet + 7) == 0 && head[packet + 11] >= 1 && saneRate(le32(head + packet + 12));
  }
  if (at(head, size, packet, "OpusHead")) return packet + 10 <= size && head[packet + 9] >= 1;
  return false;
}

// An ID3v2 tag (the audio follows it), or two MPEG audio frame headers in a row.
bool mp3Head(const std::uint8_t* head, std::size_t size) {
  if (at(head, size, 0, "ID3"))
    return size >= 10 && head[3] >= 2 && head[3] <= 4 && (head[6] | head[7] | head[8] | head[9]) < 0x80;
  auto frameBytes = [&](std::size_t p) -> std::size_t {
    if (p + 4 > size || head[p] != 0xFF || (head[p + 1] & 0xE0) != 0xE0) return 0;
    int version = head[p + 1] >> 3 & 3, layer = head[p + 1] >> 1 & 3;
    int bitrateIndex = head[p + 2] >> 4, rateIndex = head[p + 2] >> 2 & 3, padding = head[p + 2] >> 1 & 1;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return 0;
    static const int kMpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kMpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int kRates[] = {44100, 48000, 32000};
    bool mpeg1 = version == 3;
    int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    int kbps = (mpeg1 ? kMpeg1 : kMpeg2)[bitrateIndex];
    return static_cast<std::size_t>((mpeg1 ? 144000 : 72000) * kbps / rate + padding);
  };
  std::size_t first = frameBytes(0);
  return first > 0 && (first + 4 > size || frameBytes(first) > 0);
}

}  // namespace

bool looksLikeStream(const std::uint8_t* head, std::size_t size) {
  return wavHead(head, size) || flacHead(head, size) || oggHead(head, size) || mp3Head(head, size);
}

bool hasStreamMarker(const std::string& name) {
  static const char* const kMarkers[] = {".raw", ".wav", ".mp2", ".mp3", ".wma", ".asf"};
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* marker : kMarkers)
    if (lower.find(marker) != std::string::npos) return true;
  return false;
}

}  // namespace audio
}  // namespace kr
