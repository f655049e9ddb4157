// Text drawing copies glyph ink straight into the target. These tests build the
// slower reference path from canvases (a white-on-black glyph atlas, a scratch
// canvas filled with the colour, masked copies of each glyph cell and one
// masked copy into the target) and require identical pixels, over every depth,
// viewports, origins, colours and positions partly or wholly outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>

#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/font_engine.h"

namespace {

using kr::Canvas;
using kr::Font;
using kr::PixelFormat;
using kr::PixelStore;

std::unique_ptr<Canvas> makeCanvas(int w, int h, int depth) {
  auto store = PixelStore::create(w, h, PixelFormat::forDepth(depth));
  return store ? std::make_unique<Canvas>(nullptr, store) : nullptr;
}

// The font's glyphs as a canvas: white ink on black, one row of cells.
struct Atlas {
  std::unique_ptr<Canvas> canvas;
  std::vector<int> x;
};

Atlas makeAtlas(const Font& font, int depth) {
  Atlas a;
  int width = 0;
  for (int w : font.widths) a.x.push_back(width), width += w;
  a.canvas = makeCanvas(width, font.height, depth);
  for (std::size_t g = 0; g < font.widths.size(); ++g)
    for (int y = 0; y < font.height; ++y)
      for (int x = 0; x < font.widths[g]; ++x)
        if (font.inked(static_cast<int>(g), x, y))
          a.canvas->writePixel(a.x[g] + x, y, 0x00FFFFFF);
  a.canvas->setMaskColour(0x00FFFFFF);
  return a;
}

void composeText(Canvas& target, const Font& font, const Atlas& atlas, int x, int y, const std::string& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const int width = static_cast<int>(font.width(bytes, text.size()));
  const kr::Rect& v = target.viewport();
  const long long left = static_cast<long long>(x) + target.originX(), top = static_cast<long long>(y) + target.originY();
  if (width <= 0 || left >= v.right || left + width <= v.left || top >= v.bottom || top + font.height <= v.top) return;
  auto scratch = makeCanvas(width, font.height, target.depth());
  scratch->setColour(target.colour());
  if ((scratch->colour() & 0xFFFFFF) == 0) scratch->setColour(0x00000010);
  scratch->rectangle(0, 0, width, font.height, true);
  int run = 0;
  for (unsigned char c : text) {
    const int g = font.glyphOf(c);
    scratch->blit(run, 0, *atlas.canvas, atlas.x[g], 0, font.widths[g], font.height, false);
    run += font.widths[g];
  }
  target.blit(x, y, *scratch, 0, 0, width, font.height, false);
}

std::string randomText(std::mt19937& rng) {
  std::string s(rng() % 12, ' ');
  for (char& c : s) c = static_cast<char>(rng() % 256);
  return s;
}

class Compose : public ::testing::TestWithParam<int> {};

TEST_P(Compose, DirectCopiesMatchTheComposeAndMaskPath) {
  const int depth = GetParam();
  std::mt19937 rng(depth * 7 + 1);
  for (const auto& [name, height, bold, italic, underline] :
       {std::make_tuple("courier", 13, false, false, false), std::make_tuple("arial", 17, true, true, true),
        std::make_tuple("times new roman", 9, false, true, false)}) {
    SCOPED_TRACE(name);
    auto font = kr::loadFont(nullptr, name, height, bold, italic, underline);
    ASSERT_TRUE(font);
    ASSERT_EQ(font->height, height);
    Atlas atlas = makeAtlas(*font, depth);
    for (int round = 0; round < 60; ++round) {
      auto direct = makeCanvas(97, 41, depth), composed = makeCanvas(97, 41, depth);
      for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 97; ++x) {
          std::uint32_t noise = rng();
          direct->writePixel(x, y, noise);
          composed->writePixel(x, y, noise);
        }
      const std::uint32_t colours[] = {0, 0xFFFFFF, 0x000004, rng() & 0xFFFFFF};
      const std::uint32_t colour = colours[round % 4];
      const int vx = static_cast<int>(rng() % 40) - 5, vy = static_cast<int>(rng() % 20) - 5;
      const int vw = static_cast<int>(rng() % 90), vh = static_cast<int>(rng() % 40);
      const int ox = static_cast<int>(rng() % 9) - 4, oy = static_cast<int>(rng() % 9) - 4;
      for (Canvas* c : {direct.get(), composed.get()}) {
        c->setColour(colour);
        c->setViewport(vx, vy, vw, vh);
        c->setOrigin(ox, oy);
      }
      const std::string text = randomText(rng);
      const int x = static_cast<int>(rng() % 120) - 40, y = static_cast<int>(rng() % 60) - 20;
      const std::uint32_t countBefore = direct->modificationCount();
      kr::drawText(*direct, *font, x, y, reinterpret_cast<const unsigned char*>(text.data()), text.size());
      composeText(*composed, *font, atlas, x, y, text);
      EXPECT_EQ(direct->modificationCount() - countBefore, composed->modificationCount() - countBefore);
      for (int py = 0; py < 41; ++py)
        ASSERT_EQ(0, std::memcmp(direct->address(0, py), composed->address(0, py), 97 * direct->format().bytesPerPixel))
            << "round " << round << " row " << py << " text of " << text.size() << " at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, Compose, ::testing::Values(16, 24, 32));

// Glyphs keep their shape: the stem of an L is on its left, that of a J on its
// right, whatever the column a byte of the rasteriser's bitmap starts at.
TEST(FontLoading, GlyphsAreNotMirrored) {
  for (int height : {12, 24, 60}) {
    SCOPED_TRACE(height);
    auto font = kr::loadFont(nullptr, "arial", height, false, false, false);
    ASSERT_TRUE(font);
    auto columnInk = [&](unsigned char code, bool leftHalf) {
      const int g = font->glyphOf(code), w = font->widths[g];
      int ink = 0;
      for (int y = 0; y < font->height; ++y)
        for (int x = leftHalf ? 0 : w / 2; x < (leftHalf ? w / 2 : w); ++x) ink += font->inked(g, x, y);
      return ink;
    };
    EXPECT_GT(columnInk('L', true), columnInk('L', false));
    EXPECT_LT(columnInk('J', true), columnInk('J', false));
    EXPECT_GT(columnInk('F', true), columnInk('F', false));
  }
}

// A family with only a regular face gets its bold and italic synthesised.
TEST(FontLoading, MissingStylesAreSynthesised) {
  const char* family = "DejaVu Math TeX Gyre";  // one regular face, with a tall cell for its operators
  if (!kr::fontengine::haveFamily(family)) GTEST_SKIP() << family << " is not installed";
  auto regular = kr::loadFont(nullptr, family, 200, false, false, false);
  auto bold = kr::loadFont(nullptr, family, 200, true, false, false);
  auto italic = kr::loadFont(nullptr, family, 200, false, true, false);
  ASSERT_TRUE(regular && bold && italic);
  auto ink = [](const Font& f, unsigned char code, int fromX) {
    const int g = f.glyphOf(code);
    int n = 0;
    for (int y = 0; y < f.height; ++y)
      for (int x = fromX; x < f.widths[g]; ++x) n += f.inked(g, x, y);
    return n;
  };
  EXPECT_GT(ink(*bold, 'H', 0), ink(*regular, 'H', 0) * 5 / 4);
  // Slanted to the right: the top of an I moves right, so its right half gains ink.
  const int half = regular->widths[regular->glyphOf('I')] / 2;
  EXPECT_GT(ink(*italic, 'I', half), ink(*regular, 'I', half));
}

}  // namespace
