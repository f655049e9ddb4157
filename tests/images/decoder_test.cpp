// The picture decoders on files made here: every BMP layout, every PNG colour
// type and depth, baseline and progressive JPEG, and damaged or hostile data.
#include <gtest/gtest.h>
#include <png.h>

#include <dirent.h>

#include <chrono>
#include <random>

#include "graphics/canvas.h"
#include "images/picture_decoders.h"
#include "tests/images/picture_files.h"
#include "tests/support/module_runner.h"

using namespace kr;
using namespace imgtest;

namespace {

// Collects rows in memory, refusing what a canvas would refuse.
class MemoryTarget : public PictureTarget {
 public:
  bool begun = false;
  Pixels pixels;
  bool begin(int width, int height) noexcept override {
    begun = true;
    if (width < 1 || height < 1 || width > Canvas::kMaxSide || height > Canvas::kMaxSide ||
        static_cast<std::uint64_t>(width) * height > (64u << 20))
      return false;
    pixels.width = width, pixels.height = height;
    pixels.rgb.assign(static_cast<std::size_t>(width) * height, 0);
    return true;
  }
  std::uint32_t* row(int y) noexcept override { return pixels.rgb.data() + static_cast<std::size_t>(y) * pixels.width; }
};

bool decode(const std::string& file, MemoryTarget& t, const std::string& name = "picture") {
  return decodePicture(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), name, t);
}

Pixels decoded(const std::string& file, const std::string& name = "picture") {
  MemoryTarget t;
  EXPECT_TRUE(decode(file, t, name));
  return t.pixels;
}

void expectSame(const Pixels& want, const Pixels& got, const std::string& what) {
  ASSERT_EQ(got.width, want.width) << what;
  ASSERT_EQ(got.height, want.height) << what;
  for (int y = 0; y < want.height; ++y)
    for (int x = 0; x < want.width; ++x)
      ASSERT_EQ(got.at(x, y), want.at(x, y)) << what << " at " << x << "," << y;
}

std::vector<std::uint32_t> palette(int count, std::uint32_t seed) { return pattern(count, 1, seed).rgb; }

std::uint32_t crc32Of(const char* p, std::size_t n) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    c ^= static_cast<std::uint8_t>(p[i]);
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(dir + "/" + e->d_name);
    closedir(d);
  }
  return names;
}

// ---- BMP ----

TEST(Bmp, TwentyFourBitRowsWithPaddingBottomUpAndTopDown) {
  for (int width : {1, 2, 3, 5, 8}) {
    Pixels p = pattern(width, 3, width);
    expectSame(p, decoded(bmp24(p)), "bottom-up width " + std::to_string(width));
    std::vector<std::vector<std::uint8_t>> rows(p.height);
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < width; ++x)
        for (int k = 0; k < 3; ++k) rows[y].push_back(static_cast<std::uint8_t>(p.at(x, y) >> (8 * k)));
    BmpSpec spec;
    spec.topDown = true;
    expectSame(p, decoded(bmpFile(spec, width, 3, rows)), "top-down width " + std::to_string(width));
  }
}

TEST(Bmp, PalettedDepthsPickTheirEntries) {
  for (int bits : {1, 4, 8}) {
    const int width = 13, height = 4, colours = 1 << bits;
    BmpSpec spec;
    spec.bits = bits;
    spec.palette = palette(colours, bits);
    Pixels want;
    want.width = width, want.height = height;
    std::vector<std::vector<std::uint8_t>> rows(height, std::vector<std::uint8_t>((width * bits + 7) / 8, 0));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        int index = (x * 7 + y * 3) % colours;
        rows[y][x * bits / 8] |= static_cast<std::uint8_t>(index << (8 - bits - (x * bits) % 8));
        want.rgb.push_back(spec.palette[index]);
      }
    expectSame(want, decoded(bmpFile(spec, width, height, rows)), "bits " + std::to_string(bits));
    // The old core header carries three-byte palette entries.
    spec.headerSize = 12;
    expectSame(want, decoded(bmpFile(spec, width, height, rows)), "core header, bits " + std::to_string(bits));
  }
}

TEST(Bmp, PaletteCountsBeyondTheDepthOrFileAreCutShort) {
  BmpSpec spec;
  spec.bits = 8;
  spec.palette = palette(2, 5);
  spec.colourCount = 0x7FFFFFFF;  // far more entries than the file holds
  std::vector<std::vector<std::uint8_t>> rows = {{0, 1, 200, 255}};
  Pixels got = decoded(bmpFile(spec, 4, 1, rows));
  ASSERT_EQ(got.width, 4);
  EXPECT_EQ(got.at(0, 0), spec.palette[0]);
  EXPECT_EQ(got.at(1, 0), spec.palette[1]);
  // Entries past the palette read the pixel data or nothing; never outside the file.
}

TEST(Bmp, SixteenAndThirtyTwoBitPlainAndBitFields) {
  // Plain 16-bit is 5-5-5, widened to 8 bits per channel.
  BmpSpec spec;
  spec.bits = 16;
  std::vector<std::vector<std::uint8_t>> rows = {{0xFF, 0x7F, 0x00, 0x7C, 0x1F, 0x00, 0x10, 0x42}};
  Pixels got = decoded(bmpFile(spec, 4, 1, rows));
  ASSERT_EQ(got.width, 4);
  EXPECT_EQ(got.at(0, 0), 0xFFFFFFu);
  EXPECT_EQ(got.at(1, 0), 0xFF0000u);
  EXPECT_EQ(got.at(2, 0), 0x0000FFu);
  EXPECT_EQ(got.at(3, 0), 0x848484u);  // 16 of 31 in each channel
  // 5-6-5 bit fields, in a 40-byte header and in a version 5 header.
  for (int header : {40, 124}) {
    BmpSpec fields;
    fields.bits = 16, fields.compression = 3, fields.headerSize = header;
    fields.masks[0] = 0xF800, fields.masks[1] = 0x07E0, fields.masks[2] = 0x001F;
    std::vector<std::vector<std::uint8_t>> r = {{0xE0, 0x07, 0x1F, 0x00}};
    Pixels g = decoded(bmpFile(fields, 2, 1, r));
    ASSERT_EQ(g.width, 2) << header;
    EXPECT_EQ(g.at(0, 0), 0x00FF00u) << header;
    EXPECT_EQ(g.at(1, 0), 0x0000FFu) << header;
  }
  // 32-bit plain (BGRX) and bit fields in another channel order.
  BmpSpec plain;
  plain.bits = 32;
  std::vector<std::vector<std::uint8_t>> r32 = {{0x11, 0x22, 0x33, 0x99}};
  EXPECT_EQ(decoded(bmpFile(plain, 1, 1, r32)).at(0, 0), 0x332211u);
  BmpSpec swapped;
  swapped.bits = 32, swapped.compression = 3;
  swapped.masks[0] = 0x000000FF, swapped.masks[1] = 0x0000FF00, swapped.masks[2] = 0x00FF0000;
  EXPECT_EQ(decoded(bmpFile(swapped, 1, 1, r32)).at(0, 0), 0x112233u);
}

TEST(Bmp, RunLengthPicturesWithDeltasAndRunsPastTheEdges) {
  BmpSpec spec;
  spec.bits = 8, spec.compression = 1;
  spec.palette = palette(256, 9);
  // Bottom row: 3 x index 1, absolute run 4,5,6; next row: delta (1, 0) then
  // 2 x index 7; a run of 200 that leaves the picture; end of bitmap.
  std::string data = {3, 1, 0, 3, 4, 5, 6, 0, 0, 0, 0, 2, 1, 0, 2, 7, 0, 0, static_cast<char>(200), 9, 0, 1};
  Pixels got = decoded(bmpWithData(spec, 6, 3, data));
  ASSERT_EQ(got.width, 6);
  const auto& pal = spec.palette;
  std::vector<std::uint32_t> bottom = {pal[1], pal[1], pal[1], pal[4], pal[5], pal[6]};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(got.at(x, 2), bottom[x]) << x;
  EXPECT_EQ(got.at(0, 1), 0u);
  EXPECT_EQ(got.at(1, 1), pal[7]);
  EXPECT_EQ(got.at(2, 1), pal[7]);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(got.at(x, 0), pal[9]) << x;

  // RLE4: nibbles alternate; a delta far past the picture ends it quietly.
  BmpSpec four;
  four.bits = 4, four.compression = 2;
  four.palette = palette(16, 3);
  std::string d4 = {5, 0x12, 0, 3, 0x34, 0x50, 0, 2, 100, 100, 4, 0x11};
  Pixels g4 = decoded(bmpWithData(four, 8, 1, d4));
  ASSERT_EQ(g4.width, 8);
  std::vector<int> want = {1, 2, 1, 2, 1, 3, 4, 5};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(g4.at(x, 0), four.palette[want[x]]) << x;
}

TEST(Bmp, BadHeadersAndMissingRowsGiveNothing) {
  Pixels p = pattern(4, 4, 1);
  std::string good = bmp24(p);
  auto fails = [](const std::string& file, const char* what) {
    MemoryTarget t;
    EXPECT_FALSE(decode(file, t)) << what;
  };
  auto with32 = [&](std::size_t at, std::uint32_t v) {
    std::string f = good;
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
    return f;
  };
  fails(good.substr(0, good.size() - 1), "last row short");
  fails(good.substr(0, 30), "header cut");
  fails(with32(18, 0), "width 0");
  fails(with32(22, 0), "height 0");
  fails(with32(18, 0xFFFFFFF0u), "negative width");
  fails(with32(18, 100000), "width 100000, no pixels");
  fails(with32(10, 0xFFFFFF00u), "pixel offset past the file");
  std::string sevenBits = good;
  sevenBits[28] = 7;
  fails(sevenBits, "7 bits per pixel");
  std::string compressed = good;
  compressed[30] = 4;  // embedded JPEG: not read
  fails(compressed, "unknown compression");
  // Absurd sizes are refused by the target from the header alone.
  MemoryTarget t;
  EXPECT_FALSE(decode(with32(22, 100000), t));
  EXPECT_TRUE(t.begun);
}

// ---- PNG ----

int samplesOf(int colourType) {
  return colourType == PNG_COLOR_TYPE_RGB ? 3 : colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
         : colourType == PNG_COLOR_TYPE_GRAY_ALPHA                                   ? 2
                                                                                     : 1;
}

// Random samples, and the colour each pixel must load as: channels as stored
// (16 bits keep the high byte, grey of fewer bits is widened), alpha ignored.
void pngCase(const PngSpec& spec, int width, int height) {
  std::mt19937 rng(spec.colourType * 100 + spec.bitDepth);
  const int n = samplesOf(spec.colourType), max = (1 << spec.bitDepth) - 1;
  std::vector<std::vector<std::uint16_t>> samples(height);
  Pixels want;
  want.width = width, want.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint16_t s[4];
      for (int k = 0; k < n; ++k) samples[y].push_back(s[k] = static_cast<std::uint16_t>(rng() % (max + 1)));
      auto eight = [&](std::uint16_t v) -> std::uint32_t {
        return spec.bitDepth == 16 ? v >> 8 : spec.bitDepth == 8 ? v : v * 255 / max;
      };
      std::uint32_t c;
      if (spec.colourType == PNG_COLOR_TYPE_PALETTE)
        c = spec.palette[s[0] % spec.palette.size()];
      else if (n <= 2)
        c = eight(s[0]) * 0x010101;
      else
        c = (eight(s[0]) << 16) | (eight(s[1]) << 8) | eight(s[2]);
      want.rgb.push_back(c);
    }
  if (spec.colourType == PNG_COLOR_TYPE_PALETTE)
    for (auto& row : samples)
      for (auto& v : row) v = static_cast<std::uint16_t>(v % spec.palette.size());
  std::string what = "type " + std::to_string(spec.colourType) + " depth " + std::to_string(spec.bitDepth) +
                     (spec.interlaced ? " interlaced" : "") + (spec.transparency ? " tRNS" : "") +
                     (spec.gamma ? " gAMA" : "");
  expectSame(want, decoded(pngFile(spec, width, height, samples)), what);
}

TEST(Png, EveryColourTypeAndDepthLoadsItsStoredColours) {
  struct TypeDepths {
    int type;
    std::vector<int> depths;
  } cases[] = {{PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
               {PNG_COLOR_TYPE_RGB, {8, 16}},
               {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
               {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
               {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}}};
  for (const auto& c : cases)
    for (int depth : c.depths)
      for (bool interlaced : {false, true}) {
        PngSpec spec;
        spec.colourType = c.type, spec.bitDepth = depth, spec.interlaced = interlaced;
        if (c.type == PNG_COLOR_TYPE_PALETTE) spec.palette = palette(1 << depth, depth);
        pngCase(spec, 19, 11);
      }
}

TEST(Png, GammaAndTransparencyChunksChangeNoColour) {
  for (int type : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_PALETTE}) {
    PngSpec spec;
    spec.colourType = type, spec.bitDepth = 8, spec.gamma = true, spec.transparency = true;
    if (type == PNG_COLOR_TYPE_PALETTE) spec.palette = palette(256, 1);
    pngCase(spec, 9, 7);
  }
}

TEST(Png, DamagedFilesGiveNothing) {
  PngSpec spec;
  std::vector<std::vector<std::uint16_t>> samples(8, std::vector<std::uint16_t>(8 * 3, 77));
  std::string good = pngFile(spec, 8, 8, samples);
  for (std::size_t cut : {std::size_t{8}, std::size_t{20}, std::size_t{40}, good.size() - 20}) {
    MemoryTarget t;
    EXPECT_FALSE(decode(good.substr(0, cut), t)) << cut;
  }
  std::string badCrc = good;
  badCrc[29] ^= 1;  // IHDR's CRC
  MemoryTarget t;
  EXPECT_FALSE(decode(badCrc, t));
}

TEST(Png, HugeSidesAreRefusedBeforeAnyPixel) {
  // A decompression bomb: 100000 x 100000 of one grey, a few hundred bytes of file.
  PngSpec spec;
  spec.colourType = PNG_COLOR_TYPE_GRAY, spec.bitDepth = 1;
  std::string small = pngFile(spec, 8, 8, std::vector<std::vector<std::uint16_t>>(8, std::vector<std::uint16_t>(8)));
  std::string bomb = small;
  // IHDR width and height (big-endian) at 16 and 20; fix the chunk's CRC.
  for (int at : {16, 20}) bomb[at] = 0, bomb[at + 1] = 1, bomb[at + 2] = static_cast<char>(0x86), bomb[at + 3] = static_cast<char>(0xA0);
  std::uint32_t crc = crc32Of(bomb.data() + 12, 17);
  for (int i = 0; i < 4; ++i) bomb[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  auto start = std::chrono::steady_clock::now();
  MemoryTarget t;
  EXPECT_FALSE(decode(bomb, t));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

// ---- JPEG ----

TEST(Jpeg, BaselineProgressiveAndGreyMatchTheReferenceDecoder) {
  Pixels source = gradient(67, 45);
  for (bool progressive : {false, true})
    for (bool grey : {false, true}) {
      std::string file = jpegFile(source, 90, progressive, grey);
      Pixels got = decoded(file), reference = jpegReference(file);
      ASSERT_EQ(got.width, 67);
      ASSERT_EQ(got.height, 45);
      int worst = 0;
      for (std::size_t i = 0; i < got.rgb.size(); ++i)
        for (int shift : {0, 8, 16}) {
          int a = (got.rgb[i] >> shift) & 0xFF, b = (reference.rgb[i] >> shift) & 0xFF;
          worst = std::max(worst, std::abs(a - b));
        }
      EXPECT_LE(worst, 1) << "progressive " << progressive << " grey " << grey;
      EXPECT_EQ(got.rgb[0] >> 24, 0u) << "no filler byte left in the pixels";
      if (!grey) {
        // And close to what was encoded.
        std::uint32_t c = got.at(66, 44);
        EXPECT_NEAR(static_cast<int>((c >> 16) & 0xFF), 255, 8);
      }
    }
}

TEST(Jpeg, TruncatedAndDamagedFilesNeverFault) {
  std::string file = jpegFile(gradient(40, 40), 80, false);
  for (std::size_t cut : {std::size_t{3}, std::size_t{30}, std::size_t{200}, file.size() / 2}) {
    MemoryTarget t;
    decode(file.substr(0, cut), t);  // loads partly or gives nothing
  }
  std::string sof = file;
  std::size_t at = sof.find("\xFF\xC0");
  ASSERT_NE(at, std::string::npos);
  sof[at + 5] = sof[at + 6] = 0;  // height 0
  MemoryTarget t;
  EXPECT_FALSE(decode(sof, t));
}

// ---- formats ----

TEST(Formats, ContentDecidesBeforeTheName) {
  PngSpec spec;
  std::string png = pngFile(spec, 2, 2, std::vector<std::vector<std::uint16_t>>(2, std::vector<std::uint16_t>(6, 200)));
  EXPECT_EQ(decoded(png, "player.bmp").at(1, 1), 0xC8C8C8u) << "a PNG named .bmp";
  MemoryTarget t;
  EXPECT_FALSE(decode("GIF89a\x02\x00\x02\x00", t, "x.gif"));
  EXPECT_FALSE(decode(std::string("II*\0\x08\0\0\0", 8), t, "x.bmp")) << "TIFF named .bmp";
  EXPECT_FALSE(decode(std::string("\0\0\x02\0\0\0\0\0\0\0\0\0\x02\0\x02\0\x18\0", 18), t, "x.tga"));
  EXPECT_FALSE(decode("plain text, not a picture", t, "notes.txt"));
  EXPECT_FALSE(decode("plain text, not a picture", t, "noextension"));
  EXPECT_EQ(pictureKindOfName("A\\B.JPEG"), PictureKind::kJpeg);
  EXPECT_EQ(pictureKindOfName("a.b.Png"), PictureKind::kPng);
}

// Random damage to good files of every format: anything may load or not, but
// no read or write leaves its buffer (the sanitizer build checks that).
TEST(Formats, MutatedFilesNeverFault) {
  std::vector<std::string> seeds;
  seeds.push_back(bmp24(pattern(7, 5, 2)));
  BmpSpec rle;
  rle.bits = 8, rle.compression = 1, rle.palette = palette(16, 4);
  seeds.push_back(bmpWithData(rle, 9, 9, std::string("\x05\x01\x00\x03\x01\x02\x03\x00\x00\x00\x02\x03\x03\x00\x01", 15)));
  PngSpec ps;
  ps.interlaced = true;
  seeds.push_back(pngFile(ps, 9, 9, std::vector<std::vector<std::uint16_t>>(9, std::vector<std::uint16_t>(27, 9))));
  seeds.push_back(jpegFile(gradient(16, 16), 75, true));
  std::mt19937 rng(12345);
  for (const std::string& seed : seeds)
    for (int round = 0; round < 400; ++round) {
      std::string f = seed;
      int edits = 1 + rng() % 6;
      for (int e = 0; e < edits; ++e) f[rng() % f.size()] = static_cast<char>(rng());
      if (rng() % 4 == 0) f.resize(rng() % f.size() + 1);
      MemoryTarget t;
      decode(f, t);
    }
}

// Inputs the fuzzer kept: each once found a fault, each must now pass.
TEST(Formats, KeptFuzzerInputsPass) {
  std::vector<std::string> files = filesIn(std::string(KR_SOURCE_DIR) + "/tests/corpus/pictures");
  EXPECT_FALSE(files.empty());
  for (const std::string& file : files) {
    MemoryTarget t;
    decode(krtest::readFile(file), t, file);
  }
}

}  // namespace
