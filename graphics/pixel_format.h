// Pixel formats of canvases and the exact conversions between their pixels and
// 32-bit ARGB colours.
#pragma once
#include <cstdint>
#include <cstring>

namespace kr {

struct PixelFormat {
  enum Channel { kAlpha = 0, kRed, kGreen, kBlue };

  int depth = 0;  // bits per pixel: 16, 24 or 32
  int bytesPerPixel = 0;
  std::uint32_t mask[4] = {};  // alpha, red, green, blue
  int shift[4] = {};           // lowest set bit of each mask
  int width[4] = {};           // run of set bits from there
  int argbShift[4] = {};       // where the channel's top bits sit in an ARGB value

  static PixelFormat fromMasks(int depth, std::uint32_t alpha, std::uint32_t red,
                               std::uint32_t green, std::uint32_t blue);
  // 16: 5-6-5, 24: 8-8-8, 32: X8-8-8-8; anything else gives depth 0.
  static PixelFormat forDepth(int depth);

  // Each channel keeps the top bits of its 8-bit component; missing channels drop.
  std::uint32_t fromArgb(std::uint32_t argb) const {
    std::uint32_t pixel = 0;
    for (int c = 0; c < 4; ++c)
      if (mask[c]) pixel |= ((argb >> argbShift[c]) << shift[c]) & mask[c];
    return pixel;
  }
  // Low bits of each component stay 0: no bit replication.
  std::uint32_t toArgb(std::uint32_t pixel) const {
    std::uint32_t argb = 0;
    for (int c = 0; c < 4; ++c)
      if (mask[c]) argb |= ((pixel & mask[c]) >> shift[c]) << argbShift[c];
    return argb;
  }
  // The bits that carry colour; the rest of a stored pixel is ignored by colour keys.
  std::uint32_t colourBits() const { return mask[0] | mask[1] | mask[2] | mask[3]; }
  bool operator==(const PixelFormat& o) const {
    return depth == o.depth && std::memcmp(mask, o.mask, sizeof mask) == 0;
  }
  bool operator!=(const PixelFormat& o) const { return !(*this == o); }
};

inline std::uint32_t loadPixel(const std::uint8_t* p, int depth) {
  switch (depth) {
    case 16: {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case 24: {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      return v | (static_cast<std::uint32_t>(p[2]) << 16);
    }
    case 32: {
      std::uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default:
      return p[0];
  }
}

inline void storePixel(std::uint8_t* p, int depth, std::uint32_t value) {
  switch (depth) {
    case 16: {
      auto v = static_cast<std::uint16_t>(value);
      std::memcpy(p, &v, 2);
      break;
    }
    case 24: {
      auto v = static_cast<std::uint16_t>(value);
      std::memcpy(p, &v, 2);
      p[2] = static_cast<std::uint8_t>(value >> 16);
      break;
    }
    case 32:
      std::memcpy(p, &value, 4);
      break;
    default:
      p[0] = static_cast<std::uint8_t>(value);
  }
}

}  // namespace kr
