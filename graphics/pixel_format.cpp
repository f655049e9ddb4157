#include "graphics/pixel_format.h"

namespace kr {

PixelFormat PixelFormat::fromMasks(int depth, std::uint32_t alpha, std::uint32_t red,
                                   std::uint32_t green, std::uint32_t blue) {
  static const int kArgbBase[4] = {24, 16, 8, 0};
  PixelFormat f;
  f.depth = depth;
  f.bytesPerPixel = depth / 8;
  const std::uint32_t masks[4] = {alpha, red, green, blue};
  for (int c = 0; c < 4; ++c) {
    std::uint32_t m = masks[c];
    f.mask[c] = m;
    if (!m) continue;  // an empty channel: shift and width stay 0
    int s = 0;
    while (!((m >> s) & 1u)) ++s;
    int w = 0;
    while (s + w < 32 && ((m >> (s + w)) & 1u)) ++w;
    f.shift[c] = s;
    f.width[c] = w;
    f.argbShift[c] = (8 - w) + kArgbBase[c];
  }
  return f;
}

PixelFormat PixelFormat::forDepth(int depth) {
  switch (depth) {
    case 16:
      return fromMasks(16, 0, 0xF800, 0x07E0, 0x001F);
    case 24:
      return fromMasks(24, 0, 0xFF0000, 0x00FF00, 0x0000FF);
    case 32:
      return fromMasks(32, 0, 0xFF0000, 0x00FF00, 0x0000FF);
    default:
      return PixelFormat();
  }
}

}  // namespace kr
