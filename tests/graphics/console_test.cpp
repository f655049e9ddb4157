// The text console run by modules: scrolling by exactly the overflow, Write and
// Print sharing a line, Locate's clamping, the back buffer left alone, and the
// window re-opened by the first console command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/graphics/picture_files.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using gfxtest::Picture;
using gfxtest::readBmp;

namespace {

// Rightmost column with ink in rows [top, bottom), or -1.
int rightmostInk(const Picture& p, int top, int bottom, std::uint32_t ink) {
  int right = -1;
  for (int y = std::max(top, 0); y < std::min(bottom, p.height); ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.at(x, y) == ink) right = std::max(right, x);
  return right;
}

class Console : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    run_ = new RunResult(runModuleIn("text_console", *dir_));
  }
  static void TearDownTestSuite() {
    delete run_;
    delete dir_;
  }
  Picture picture(const std::string& name) const {
    Picture p = readBmp(dir_->file(name));
    EXPECT_EQ(p.width, 400) << name;
    EXPECT_EQ(p.height, 300) << name;
    return p;
  }
  static TempDir* dir_;
  static RunResult* run_;
};

TempDir* Console::dir_ = nullptr;
RunResult* Console::run_ = nullptr;

TEST_F(Console, TheTwentyFourthLineScrollsByExactlyTheOverflow) {
  ASSERT_EQ((*run_).value("survived"), "1") << run_->err;
  ASSERT_EQ((*run_).number("font_height"), 13);
  const int m = (*run_).number("m_width");
  Picture p = picture("scrolled.bmp");
  ASSERT_TRUE(p.valid());
  const std::uint32_t yellow = 0xFFFF00, band = 0x000060;
  // Lines 1 to 23 were drawn at 13 (k - 1), then all moved up 12 rows; line 24
  // sits on the bottom 13 rows. Line k is k letters wide.
  int firstInkRow = -1;
  for (int k = 2; k <= 24; ++k) {
    SCOPED_TRACE("line " + std::to_string(k));
    const int top = k == 24 ? 287 : 13 * (k - 1) - 12;
    const int right = rightmostInk(p, top, top + 13, yellow);
    EXPECT_GE(right, (k - 1) * m);
    EXPECT_LT(right, k * m);
    // The same letters sit at the same height inside every line's cell.
    int row = 0;
    while (row < 13 && rightmostInk(p, top + row, top + row + 1, yellow) < 0) ++row;
    if (firstInkRow < 0) firstInkRow = row;
    EXPECT_EQ(row, firstInkRow);
  }
  // The freed band took the clear colour; everything above kept the black it had.
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) {
      std::uint32_t c = p.at(x, y);
      if (c == yellow) continue;
      ASSERT_EQ(c, y >= 288 ? band : 0u) << "(" << x << "," << y << ")";
    }
}

TEST_F(Console, WriteAndPrintShareALine) {
  const int m = (*run_).number("m_width");
  Picture p = picture("write_print.bmp");
  ASSERT_TRUE(p.valid());
  int first = rightmostInk(p, 0, 13, 0xFFFF00), second = rightmostInk(p, 13, 26, 0xFFFF00);
  EXPECT_GE(first, 3 * m) << "\"ab\" and \"cd\" on the first line";
  EXPECT_LT(first, 4 * m);
  EXPECT_GE(second, m);
  EXPECT_LT(second, 2 * m);
  EXPECT_EQ(rightmostInk(p, 26, 300, 0xFFFF00), -1);
}

TEST_F(Console, LocateClampsAndTheNextPrintScrollsFirst) {
  Picture p = picture("locate.bmp");
  ASSERT_TRUE(p.valid());
  EXPECT_EQ(rightmostInk(p, 0, 287, 0xFFFF00), -1);
  EXPECT_GT(rightmostInk(p, 287, 300, 0xFFFF00), 20) << "\"bottom\" at x 0 on the last 13 rows";
  bool leftEdge = false;
  for (int y = 287; y < 300; ++y) leftEdge |= p.at(0, y) == 0xFFFF00 || p.at(1, y) == 0xFFFF00;
  EXPECT_TRUE(leftEdge) << "x clamped to 0";
}

TEST_F(Console, PrintWithTheBackBufferCurrentLeavesItsStateAlone) {
  EXPECT_EQ((*run_).value("back_red"), "10");
  EXPECT_EQ((*run_).value("back_outside"), "0");
  EXPECT_EQ((*run_).number("back_inside"), 0x654321);
}

TEST(ConsoleStartup, LocateBeforeGraphicsOpensTheWindowAndKeepsItsPosition) {
  TempDir dir;
  RunResult r = runModuleIn("text_console_startup", dir);
  ASSERT_EQ(r.value("survived"), "1") << r.err;
  EXPECT_EQ(r.value("width"), "400");
  EXPECT_EQ(r.value("height"), "300");
  Picture p = readBmp(dir.file("startup.bmp"));
  ASSERT_TRUE(p.valid());
  int inkTop = 300, inkBottom = -1, inkLeft = 400;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.at(x, y) != 0) {
        inkTop = std::min(inkTop, y), inkBottom = std::max(inkBottom, y), inkLeft = std::min(inkLeft, x);
      }
  EXPECT_GE(inkTop, 100);
  EXPECT_LT(inkBottom, 112);
  EXPECT_GE(inkLeft, 50);
  EXPECT_LT(inkLeft, 53);
}

}  // namespace
