// Fonts and text as modules use them: metrics, the ink Text leaves in 16-, 24-
// and 32-bit buffers, styles, clipping, font files beside the game and the
// handling of names, heights and handles that are no good.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/graphics/picture_files.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using gfxtest::Picture;
using gfxtest::readBmp;

namespace {

const RunResult& metricsRun() {
  static const RunResult run = runModule("text_metrics");
  return run;
}

TEST(Fonts, DefaultFontIsCourierTwelve) {
  const RunResult& r = metricsRun();
  ASSERT_EQ(r.value("survived"), "1") << r.err;
  EXPECT_EQ(r.value("default_height"), "12");
  EXPECT_EQ(r.value("default_width"), "8");
  EXPECT_EQ(r.value("string_height"), "12");
  EXPECT_EQ(r.value("empty_width"), "0");
  int a = r.number("default_a");
  EXPECT_GT(a, 4);
  EXPECT_LT(a, 10);
  EXPECT_EQ(r.number("default_abc"), 3 * a) << "monospaced";
}

TEST(Fonts, HeightIsExactlyTheCellAskedForAndWidthsAreSumsOfAdvances) {
  const RunResult& r = metricsRun();
  EXPECT_EQ(r.value("courier30_height"), "30");
  EXPECT_EQ(r.value("courier30_fontwidth"), "8") << "FontWidth is 8 whatever the font";
  EXPECT_EQ(r.number("courier30_i"), r.number("courier30_W"));
  EXPECT_EQ(r.number("courier30_iW"), 2 * r.number("courier30_W"));
  EXPECT_EQ(r.value("arial_height"), "20");
  EXPECT_LT(r.number("arial_i"), r.number("arial_W")) << "arial is proportional";
  EXPECT_EQ(r.number("arial_iW"), r.number("arial_i") + r.number("arial_W"));
  EXPECT_EQ(r.number("arial_long"), 1000 * r.number("arial_W"));
  EXPECT_GE(r.number("arial_bold_W"), r.number("arial_plain_W"));
  EXPECT_EQ(r.value("times_height"), "20");
  EXPECT_NE(r.number("times_sample"), r.number("arial_sample")) << "a serif face of its own";
}

TEST(Fonts, CodesOutsideTheRangeAreTheDefaultCharacter) {
  const RunResult& r = metricsRun();
  EXPECT_EQ(r.value("courier30_code1"), r.value("courier30_code127"));
  EXPECT_EQ(r.value("courier30_code255"), r.value("courier30_W"));
}

TEST(Fonts, OddHeightsAndUnknownFaces) {
  const RunResult& r = metricsRun();
  EXPECT_EQ(r.value("unknown_loaded"), "1") << "an unknown face falls back to an installed one";
  EXPECT_EQ(r.value("unknown_height"), "16");
  EXPECT_EQ(r.value("height_0"), "12");
  EXPECT_EQ(r.value("height_minus_20"), "20");
  EXPECT_EQ(r.value("height_huge"), "0");
  EXPECT_EQ(r.value("height_min"), "0");
  EXPECT_EQ(r.value("height_max"), "0");
}

TEST(Fonts, FreeingTheCurrentFontBringsBackTheDefault) {
  const RunResult& r = metricsRun();
  EXPECT_EQ(r.value("after_free_height"), "12");
  EXPECT_EQ(r.value("after_free_a"), r.value("default_a"));
}

TEST(Fonts, ValuesThatAreNoFontAreIgnoredUnlessDebugging) {
  TempDir dir;
  RunOptions plain;
  plain.debug = false;
  RunResult quiet = runModuleIn("text_bad_font", dir, plain);
  EXPECT_FALSE(quiet.errContains("Error!")) << quiet.err;
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_FALSE(readFile(dir.file("kept.bmp")).empty()) << "the font set before stays current";

  RunResult debugging = runModule("text_bad_font");
  EXPECT_TRUE(debugging.errContains("debugError: Font does not exist")) << debugging.err;
  EXPECT_EQ(debugging.value("height_kept"), "(missing height_kept)");
}

TEST(Fonts, TheFirstPrintBeforeGraphicsFreesEarlierFonts) {
  RunResult r = runModule("text_stale_font");
  EXPECT_EQ(r.value("height_before"), "20");
  EXPECT_EQ(r.value("height_after_print"), "12");
  EXPECT_EQ(r.value("height_after_second_print"), "22") << "the second Print keeps the display";
  EXPECT_TRUE(r.errContains("debugError: Font does not exist")) << r.err;
}

TEST(Fonts, FontFilesBesideTheGameAndFilesThatAreNoFonts) {
  TempDir dir;
  std::string serif = readFile("/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf");
  ASSERT_FALSE(serif.empty());
  writeFile(dir.file("SerifCopy.ttf"), serif);
  ASSERT_EQ(system(("mkdir -p " + dir.file("Sub") + " " + dir.file("fontdir.ttf")).c_str()), 0);
  writeFile(dir.file("Sub/serifcopy.TTF"), serif);
  writeFile(dir.file("truncated.ttf"), serif.substr(0, 3000));
  std::string garbage(5000, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919 + 13) >> 3);
  writeFile(dir.file("garbage.ttf"), garbage);

  RunResult r = runModuleIn("text_file", dir);
  ASSERT_EQ(r.value("survived"), "1") << r.err;
  EXPECT_EQ(r.value("copied"), r.value("serif")) << "the copied file under another name and case";
  EXPECT_EQ(r.value("backslash"), r.value("serif"));
  EXPECT_NE(r.value("serif"), r.value("mono"));
  for (const char* label : {"copied", "garbage", "truncated", "directory", "parent", "root", "missing", "dots", "colon"}) {
    SCOPED_TRACE(label);
    EXPECT_LT(r.number(std::string(label) + "_ms"), 1000);
    EXPECT_NE(r.value(label), "(missing " + std::string(label) + ")");
  }
}

TEST(Fonts, HostileStringsCoordinatesAndNamesEndNormally) {
  RunOptions options;
  options.timeoutMs = 60000;
  RunResult r = runModule("text_hostile", options);
  ASSERT_EQ(r.value("survived"), "1") << r.err;
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended"));
  EXPECT_GT(r.number("every_byte_width"), 0);
  EXPECT_EQ(r.value("long_name"), "1") << "an unknown face is still a font";
  EXPECT_EQ(r.value("nul_name"), "0") << "a name with a NUL names nothing";
  EXPECT_EQ(r.value("names_ms_under_5s"), "1");
  EXPECT_EQ(r.value("tall_loaded"), "1");
  EXPECT_EQ(r.value("tall_height"), "350");
}

// ---- ink ----

constexpr int kWidth = 320, kHeight = 240;

std::uint32_t quantised(std::uint32_t rgb, int depth) {
  return depth == 16 ? rgb & 0xF8FCF8 : rgb;
}

struct Box {
  int left, top, right, bottom;
  bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Pixels that are not the background: every one must be the ink colour and
// inside the box. Returns how many there are.
int countInk(const Picture& p, std::uint32_t background, std::uint32_t ink, const Box& box) {
  int count = 0, wrong = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      std::uint32_t c = p.at(x, y);
      if (c == background) continue;
      ++count;
      if ((c != ink || !box.contains(x, y)) && wrong++ < 5)
        ADD_FAILURE() << "pixel (" << x << "," << y << ") = " << std::hex << c;
    }
  return count;
}

int inkIn(const Picture& p, const Box& box, std::uint32_t background = 0) {
  int count = 0;
  for (int y = std::max(box.top, 0); y < std::min(box.bottom, p.height); ++y)
    for (int x = std::max(box.left, 0); x < std::min(box.right, p.width); ++x) count += p.at(x, y) != background;
  return count;
}

class TextInk : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    run_ = new RunResult(runModuleIn("text_draw", *dir_));
  }
  static void TearDownTestSuite() {
    delete run_;
    delete dir_;
  }
  int depth() const { return GetParam(); }
  Picture picture(const std::string& name) const {
    Picture p = readBmp(dir_->file("d" + std::to_string(depth()) + "_" + name + ".bmp"));
    EXPECT_EQ(p.width, kWidth) << name;
    return p;
  }
  int logged(const std::string& label) const {
    return (*run_).number("d" + std::to_string(depth()) + "_" + label);
  }
  std::uint32_t red() const { return quantised(0xFF0000, depth()); }

  static TempDir* dir_;
  static RunResult* run_;
};

TempDir* TextInk::dir_ = nullptr;
RunResult* TextInk::run_ = nullptr;

TEST_P(TextInk, InkIsExactlyTheColourAndOnlyInsideTheTextBox) {
  ASSERT_TRUE(run_->errContains("debugInfo: Program has ended")) << run_->err;
  EXPECT_EQ(logged("depth"), depth());
  Picture p = picture("plain");
  ASSERT_TRUE(p.valid());
  int w = logged("plain_w"), h = logged("plain_h");
  EXPECT_EQ(h, 12);
  int ink = countInk(p, 0, red(), Box{10, 10, 10 + w, 10 + h});
  EXPECT_GT(ink, 60);
  EXPECT_LT(ink, w * h / 2);
}

TEST_P(TextInk, BlackTextIsDrawnInTheNearestColourAboveBlack) {
  Picture p = picture("black");
  ASSERT_TRUE(p.valid());
  std::uint32_t white = quantised(0xFFFFFF, depth());
  EXPECT_GT(countInk(p, white, 0x000010, Box{10, 10, 10 + 5 * 8, 22}), 30);
}

TEST_P(TextInk, BoldItalicAndUnderlineDifferAsTheyShould) {
  Picture p = picture("styles");
  ASSERT_TRUE(p.valid());
  const int w = logged("styles_w"), h = 24;
  EXPECT_EQ(w, logged("styles_regular_w"));
  auto band = [&](int top) { return Box{10, top, 10 + w, top + h}; };
  countInk(p, 0, red(), Box{10, 10, 10 + w, 154});  // nothing outside the four boxes' column
  for (int top : {10, 50, 90, 130}) EXPECT_EQ(inkIn(p, Box{0, top - 16, kWidth, top}), 0) << "gap above " << top;
  int regular = inkIn(p, band(10)), bold = inkIn(p, band(50)), italic = inkIn(p, band(90)),
      underline = inkIn(p, band(130));
  EXPECT_GT(bold, regular * 5 / 4) << "bold strokes are wider";
  // Italic slants the same strokes: similar ink, other pixels.
  int same = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 10; x < 10 + w; ++x) same += p.at(x, 10 + y) != 0 && p.at(x, 90 + y) != 0;
  EXPECT_LT(same, regular * 3 / 4);
  EXPECT_GT(italic, regular / 2);
  // Underline: the regular glyphs plus rows inked across the whole width, inside the cell.
  int fullRows = 0, regularFullRows = 0;
  for (int y = 0; y < h; ++y) {
    fullRows += inkIn(p, Box{10, 130 + y, 10 + w, 131 + y}) == w;
    regularFullRows += inkIn(p, Box{10, 10 + y, 10 + w, 11 + y}) == w;
  }
  EXPECT_GE(fullRows, 1);
  EXPECT_EQ(regularFullRows, 0);
  EXPECT_GE(underline, regular + w);
}

TEST_P(TextInk, ClippedToTheViewportAndFarPositionsDrawNothing) {
  Picture p = picture("clip");
  ASSERT_TRUE(p.valid());
  EXPECT_GT(countInk(p, 0, red(), Box{50, 50, 90, 70}), 40);
  // The text starts at (30, 45): the viewport cuts its left part and top rows.
  EXPECT_GT(inkIn(p, Box{50, 50, 90, 51}), 0) << "rows above the viewport are cut, not shifted";
}

TEST_P(TextInk, CentringSubtractsHalfTheWidthAndHeight) {
  Picture p = picture("centre");
  ASSERT_TRUE(p.valid());
  const std::uint32_t green = quantised(0x00FF00, depth());
  int compared = 0, differ = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < kWidth; ++x) {
      bool upper = p.at(x, y) == red(), lower = p.at(x, y + 50) == green;
      compared += upper;
      differ += upper != lower;
    }
  EXPECT_GT(compared, 40);
  EXPECT_EQ(differ, 0);
}

TEST_P(TextInk, ALongTickerLineLeavesTheFontUsable) {
  EXPECT_EQ(logged("ticker_w"), 8000 * logged("A_w"));
  Picture p = picture("ticker");
  ASSERT_TRUE(p.valid());
  EXPECT_GT(inkIn(p, Box{0, 150, kWidth, 174}), 200);
  EXPECT_GT(inkIn(p, Box{10, 200, 80, 224}), 20);
}

INSTANTIATE_TEST_SUITE_P(Depths, TextInk, ::testing::Values(16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "d" + std::to_string(info.param); });

}  // namespace
