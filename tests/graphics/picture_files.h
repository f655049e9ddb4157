// Reading the pictures the graphics tests check: BMP files a module saved and
// XWD window captures.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace gfxtest {

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> rgb;  // 0x00RRGGBB, top row first
  std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
  bool valid() const { return width > 0 && height > 0; }
};

// 24-bit uncompressed BMP, bottom-up or top-down; an invalid Picture otherwise.
Picture readBmp(const std::string& path);

// XWD capture with a true-colour visual (as xwd writes it for Xvfb).
Picture readXwd(const std::string& path);

}  // namespace gfxtest
