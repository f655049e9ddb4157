// Picture files made by the image tests: BMP written byte by byte, PNG and
// JPEG through their libraries' encoders.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace imgtest {

// 0x00RRGGBB, top row first.
struct Pixels {
  int width = 0, height = 0;
  std::vector<std::uint32_t> rgb;
  std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};

// A picture with every colour different from its neighbours.
Pixels pattern(int width, int height, std::uint32_t seed);
// A smooth picture, as photographs are (JPEG's territory).
Pixels gradient(int width, int height);

struct BmpSpec {
  int bits = 24;             // 1, 4, 8, 16, 24, 32
  std::uint32_t compression = 0;  // 0 plain, 1 RLE8, 2 RLE4, 3 bit fields
  bool topDown = false;
  int headerSize = 40;       // 12 (core), 40, 108, 124
  std::uint32_t masks[3] = {0, 0, 0};  // bit fields, red green blue
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::uint32_t colourCount = 0;       // the header's count, as written
};

// Rows of pixel bytes (indices, or packed values) of `bits` per pixel, top row
// first, for a plain BMP; the writer orders and pads them.
std::string bmpFile(const BmpSpec& spec, int width, int height, const std::vector<std::vector<std::uint8_t>>& rows);
// A 24-bit BMP of the pixels.
std::string bmp24(const Pixels& p);
// A BMP whose pixel data is given as is (run-length data, damaged data).
std::string bmpWithData(const BmpSpec& spec, int width, int height, const std::string& data);

struct PngSpec {
  int colourType = 2;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlaced = false;
  bool gamma = false;        // a gAMA chunk of 1/1.8
  bool transparency = false; // a tRNS chunk
  std::vector<std::uint32_t> palette;
};
// Samples per pixel of the colour type, each bitDepth bits, top row first.
std::string pngFile(const PngSpec& spec, int width, int height, const std::vector<std::vector<std::uint16_t>>& samples);

// A valid 1-bit grey PNG of width x height, all black, written row by row: a
// few kilobytes that claim a huge picture.
std::string pngBlank(int width, int height);

std::string jpegFile(const Pixels& p, int quality, bool progressive, bool grey = false);
// libjpeg's own decode of a JPEG to RGB, for comparison.
Pixels jpegReference(const std::string& file);

}  // namespace imgtest
