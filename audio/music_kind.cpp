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

SongFormat recogniseSongFile(const std::string& hostPath) {
  int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return SongFormat::kNone;
  struct stat st;
  std::uint8_t head[kSongHeadBytes];
  std::size_t size = 0;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    while (size < sizeof head) {
      ssize_t n = read(fd, head + size, sizeof head - size);
      if (n <= 0) break;
      size += static_cast<std::size_t>(n);
    }
  }
  close(fd);
  return recogniseSong(head, size);
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
