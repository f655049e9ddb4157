// Little-endian fields of the game protocol.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kr::net {

// A message's own header: from (4), to (4), type (1), then the text.
constexpr std::size_t kMessageHeaderSize = 9;

inline void putU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putU64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t getU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t getU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint64_t getU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(getU32(p)) | static_cast<std::uint64_t>(getU32(p + 4)) << 32;
}
inline void appendU16(std::string* s, std::uint16_t v) {
  std::uint8_t b[2];
  putU16(b, v);
  s->append(reinterpret_cast<const char*>(b), 2);
}
inline void appendU32(std::string* s, std::uint32_t v) {
  std::uint8_t b[4];
  putU32(b, v);
  s->append(reinterpret_cast<const char*>(b), 4);
}

}  // namespace kr::net
