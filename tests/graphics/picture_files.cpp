#include "tests/graphics/picture_files.h"

#include "tests/support/module_runner.h"

namespace gfxtest {

namespace {

std::uint32_t le(const std::string& d, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(d[at + i]);
  return v;
}

std::uint32_t be32(const std::string& d, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<std::uint8_t>(d[at + i]);
  return v;
}

int lowBit(std::uint32_t mask) {
  int s = 0;
  while (mask && !((mask >> s) & 1)) ++s;
  return s;
}

}  // namespace

Picture readBmp(const std::string& path) {
  Picture p;
  std::string d = krtest::readFile(path);
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || le(d, 28, 2) != 24 || le(d, 30, 4) != 0) return p;
  std::uint32_t offset = le(d, 10, 4);
  int w = static_cast<int>(le(d, 18, 4)), h = static_cast<int>(le(d, 22, 4));
  bool bottomUp = h > 0;
  if (h < 0) h = -h;
  std::size_t row = (static_cast<std::size_t>(w) * 3 + 3) & ~static_cast<std::size_t>(3);
  if (w <= 0 || d.size() < offset + row * h) return p;
  p.width = w, p.height = h;
  p.rgb.resize(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    std::size_t base = offset + row * (bottomUp ? h - 1 - y : y);
    for (int x = 0; x < w; ++x) p.rgb[static_cast<std::size_t>(y) * w + x] = le(d, base + 3 * x, 3);
  }
  return p;
}

Picture readXwd(const std::string& path) {
  Picture p;
  std::string d = krtest::readFile(path);
  if (d.size() < 100 || be32(d, 4) != 7) return p;
  std::uint32_t headerSize = be32(d, 0), w = be32(d, 16), h = be32(d, 20), byteOrder = be32(d, 28);
  std::uint32_t bitsPerPixel = be32(d, 44), bytesPerLine = be32(d, 48);
  std::uint32_t masks[3] = {be32(d, 56), be32(d, 60), be32(d, 64)};
  std::uint32_t colours = be32(d, 76);
  std::size_t offset = headerSize + static_cast<std::size_t>(colours) * 12;
  int bytes = static_cast<int>(bitsPerPixel / 8);
  if (bytes < 2 || bytes > 4 || d.size() < offset + static_cast<std::size_t>(bytesPerLine) * h) return p;
  p.width = static_cast<int>(w), p.height = static_cast<int>(h);
  p.rgb.resize(static_cast<std::size_t>(w) * h);
  for (std::uint32_t y = 0; y < h; ++y)
    for (std::uint32_t x = 0; x < w; ++x) {
      std::size_t at = offset + static_cast<std::size_t>(y) * bytesPerLine + static_cast<std::size_t>(x) * bytes;
      std::uint32_t v = 0;
      for (int i = 0; i < bytes; ++i) {
        std::uint32_t b = static_cast<std::uint8_t>(d[at + i]);
        v |= byteOrder == 0 ? b << (8 * i) : b << (8 * (bytes - 1 - i));
      }
      std::uint32_t rgb = 0;
      for (int c = 0; c < 3; ++c) rgb |= (((v & masks[c]) >> lowBit(masks[c])) & 0xFF) << (16 - 8 * c);
      p.rgb[static_cast<std::size_t>(y) * w + x] = rgb;
    }
  return p;
}

}  // namespace gfxtest
