// Every drawing primitive, drawn by a module into full-screen back buffers of
// depth 16, 24 and 32 and saved as BMP files, checked pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "tests/graphics/picture_files.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using gfxtest::Picture;
using gfxtest::readBmp;

namespace {

constexpr int kWidth = 400, kHeight = 300;

// White and blue as each depth stores them: 5-6-5 keeps the top bits only.
std::uint32_t white(int depth) { return depth == 16 ? 0xF8FCF8 : 0xFFFFFF; }
std::uint32_t blue(int depth) { return depth == 16 ? 0x0000F8 : 0x0000FF; }

class Primitives : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    run_ = new RunResult(runModuleIn("gfx_primitives", *dir_));
  }
  static void TearDownTestSuite() {
    delete run_;
    delete dir_;
  }

  int depth() const { return GetParam(); }
  Picture picture(const std::string& name) const {
    return readBmp(dir_->file("d" + std::to_string(depth()) + "_" + name + ".bmp"));
  }
  std::string logged(const std::string& label) const {
    std::string prefix = "d" + std::to_string(depth()) + "_" + label + "=";
    for (const std::string& line : run_->logs())
      if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    return "(missing)";
  }

  static TempDir* dir_;
  static RunResult* run_;
};

TempDir* Primitives::dir_ = nullptr;
RunResult* Primitives::run_ = nullptr;

// An expected picture: black, with rectangles painted in one colour.
struct Expected {
  std::vector<bool> lit = std::vector<bool>(kWidth * kHeight, false);
  void paint(int left, int top, int right, int bottom) {
    for (int y = std::max(top, 0); y < std::min(bottom, kHeight); ++y)
      for (int x = std::max(left, 0); x < std::min(right, kWidth); ++x) lit[y * kWidth + x] = true;
  }
};

// Lists the pixels whose colour is not what the expectation says (at most a few).
std::string mismatches(const Picture& p, const Expected& e, std::uint32_t on) {
  std::string out;
  int shown = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      std::uint32_t want = e.lit[y * kWidth + x] ? on : 0;
      if (p.at(x, y) != want && shown++ < 8)
        out += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
    }
  return out;
}

TEST_P(Primitives, ModuleRanToTheEnd) {
  EXPECT_TRUE(run_->errContains("debugInfo: Program has ended")) << run_->err;
  EXPECT_EQ(logged("depth"), std::to_string(depth()));
}

TEST_P(Primitives, RectOutlinesAreFourBandsClippedOneByOne) {
  Picture p = picture("rect");
  ASSERT_TRUE(p.valid());
  ASSERT_EQ(p.width, kWidth);
  Expected e;
  auto outline = [&](int x, int y, int w, int h) {
    e.paint(x, y, x + w, y + 1);
    e.paint(x, y, x + 1, y + h);
    e.paint(x + w - 1, y, x + w, y + h);
    e.paint(x, y + h - 1, x + w, y + h);
  };
  outline(0, 0, 10, 10);   // rows 0 and 9, columns 0 and 9 only
  outline(20, 0, 10, 1);   // one row of 10
  outline(40, 0, 1, 6);    // one column of 6
  e.paint(50, 0, 57, 5);   // solid
  outline(-4, 20, 10, 10); // left band off the canvas
  outline(390, 290, 20, 20);
  outline(100, 100, 30, 20);
  e.paint(110, 105, 130, 120);  // solid, clipped to the viewport at (110, 105)
  EXPECT_EQ(mismatches(p, e, white(depth())), "");
}

TEST_P(Primitives, LinesDrawTheFirstPointNotTheLastOnePixelPerStep) {
  Picture p = picture("line");
  ASSERT_TRUE(p.valid());
  struct L {
    int x1, y1, x2, y2;
  };
  const L lines[] = {{0, 0, 10, 0},     {5, 5, 5, 5},       {20, 2, 20, 12},   {30, 10, 40, 5},
                     {60, 20, 45, 25},  {100, 0, 90, 30},   {120, 40, 150, 10}, {200, 50, 170, 50}};
  std::size_t total = 0;
  for (const L& l : lines) {
    SCOPED_TRACE(std::to_string(l.x1) + "," + std::to_string(l.y1) + " to " + std::to_string(l.x2) + "," +
                 std::to_string(l.y2));
    int dx = l.x2 - l.x1, dy = l.y2 - l.y1;
    int steps = std::max(std::abs(dx), std::abs(dy));
    total += steps;
    if (steps == 0) {
      EXPECT_EQ(p.at(l.x1, l.y1), 0u);
      continue;
    }
    EXPECT_EQ(p.at(l.x1, l.y1), white(depth()));
    EXPECT_EQ(p.at(l.x2, l.y2), 0u);
    bool xMajor = std::abs(dx) >= std::abs(dy);
    for (int i = 0; i < steps; ++i) {
      // Exactly one lit pixel at this step's major coordinate, on the ideal line.
      int hits = 0;
      double ideal = xMajor ? l.y1 + static_cast<double>(dy) * i / steps : l.x1 + static_cast<double>(dx) * i / steps;
      int major = (xMajor ? l.x1 : l.y1) + i * ((xMajor ? dx : dy) > 0 ? 1 : -1);
      int lo = std::min(xMajor ? l.y1 : l.x1, xMajor ? l.y2 : l.x2), hi = std::max(xMajor ? l.y1 : l.x1, xMajor ? l.y2 : l.x2);
      for (int minor = lo; minor <= hi; ++minor) {
        std::uint32_t c = xMajor ? p.at(major, minor) : p.at(minor, major);
        if (c == 0) continue;
        ++hits;
        EXPECT_LE(std::fabs(minor - ideal), 0.5) << "step " << i;
      }
      EXPECT_EQ(hits, 1) << "step " << i;
    }
  }
  EXPECT_EQ(static_cast<std::size_t>(std::count(p.rgb.begin(), p.rgb.end(), white(depth()))), total);
}

TEST_P(Primitives, PlotsAddTheOriginAndStayInTheCanvas) {
  Picture p = picture("plot");
  ASSERT_TRUE(p.valid());
  Expected e;
  e.paint(0, 0, 1, 1);      // (-1, 0) with origin (1, 0)
  e.paint(15, 25, 16, 26);  // (5, 5) with origin (10, 20)
  e.paint(399, 299, 400, 300);
  EXPECT_EQ(mismatches(p, e, white(depth())), "");
}

TEST_P(Primitives, ClsFillsTheViewportWhateverTheOrigin) {
  Picture p = picture("cls");
  ASSERT_TRUE(p.valid());
  Expected e;
  e.paint(10, 10, 30, 30);
  EXPECT_EQ(mismatches(p, e, blue(depth())), "");
}

TEST_P(Primitives, ColourComponentsSpillAndReadBackQuantised) {
  // Blue 256 is green 1; a 5-6-5 green keeps only its top 6 bits.
  EXPECT_EQ(logged("spill_red"), "0");
  EXPECT_EQ(logged("spill_green"), depth() == 16 ? "0" : "1");
  EXPECT_EQ(logged("spill_blue"), "0");
  EXPECT_EQ(logged("white_red"), depth() == 16 ? "248" : "255");
  EXPECT_EQ(logged("white_green"), depth() == 16 ? "252" : "255");
  EXPECT_EQ(logged("white_read"), std::to_string(white(depth())));
  EXPECT_EQ(logged("outside_colour"), "0");  // GetColor outside the viewport: the mask colour
  EXPECT_EQ(logged("outside_read"), "0");
}

// ---- ovals ----

const int kOvalWidths[] = {1, 2, 3, 4, 5, 7, 10, 11, 16, 27};
const int kOvalHeights[] = {1, 2, 3, 6, 9, 10, 13, 20, 27};

// The lit pixels of one oval cell, relative to the oval's bounding box.
struct Cell {
  int w, h;
  std::vector<bool> on;
  bool at(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && on[y * w + x]; }
};

Cell cellOf(const Picture& p, int column, int row, bool* strayPixels) {
  Cell c{kOvalWidths[column], kOvalHeights[row], {}};
  c.on.assign(c.w * c.h, false);
  int x0 = column * 30 + 1, y0 = row * 30 + 1;
  *strayPixels = false;
  for (int y = row * 30; y < row * 30 + 30; ++y)
    for (int x = column * 30; x < column * 30 + 30; ++x) {
      if (!p.at(x, y)) continue;
      int cx = x - x0, cy = y - y0;
      if (cx < 0 || cy < 0 || cx >= c.w || cy >= c.h)
        *strayPixels = true;
      else
        c.on[cy * c.w + cx] = true;
    }
  return c;
}

std::string describe(const Cell& c) {
  std::string s = "\n";
  for (int y = 0; y < c.h; ++y) {
    for (int x = 0; x < c.w; ++x) s += c.at(x, y) ? '#' : '.';
    s += '\n';
  }
  return s;
}

TEST_P(Primitives, SolidOvalsAreSymmetricRowSpansInsideTheirBox) {
  Picture p = picture("oval_solid");
  ASSERT_TRUE(p.valid());
  for (int j = 0; j < 9; ++j)
    for (int i = 0; i < 10; ++i) {
      bool stray;
      Cell c = cellOf(p, i, j, &stray);
      SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + describe(c));
      EXPECT_FALSE(stray);
      bool topRow = false, bottomRow = false;
      for (int y = 0; y < c.h; ++y) {
        int runs = 0;
        for (int x = 0; x < c.w; ++x) {
          if (c.at(x, y) && !c.at(x - 1, y)) ++runs;
          EXPECT_EQ(c.at(x, y), c.at(c.w - 1 - x, y)) << "mirror across the vertical axis";
          EXPECT_EQ(c.at(x, y), c.at(x, c.h - 1 - y)) << "mirror across the horizontal axis";
        }
        EXPECT_LE(runs, 1) << "row " << y;
        if (y == 0) topRow = runs > 0;
        if (y == c.h - 1) bottomRow = runs > 0;
      }
      // The end rows of a tall oval two pixels wide are narrower than a pixel.
      if (c.w != 2 || c.h < 9) {
        EXPECT_TRUE(topRow && bottomRow) << "touches its first and last row";
      }
    }
  // Width or height 0 draws nothing.
  for (int y = 0; y < kHeight; ++y)
    for (int x = 300; x < kWidth; ++x) ASSERT_EQ(p.at(x, y), 0u) << x << "," << y;
}

TEST_P(Primitives, OvalOutlinesTraceTheSolidOvalsBoundaryWithoutGaps) {
  Picture solid = picture("oval_solid"), outline = picture("oval_outline");
  ASSERT_TRUE(solid.valid() && outline.valid());
  for (int j = 0; j < 9; ++j)
    for (int i = 0; i < 10; ++i) {
      bool stray;
      Cell s = cellOf(solid, i, j, &stray);
      Cell o = cellOf(outline, i, j, &stray);
      SCOPED_TRACE(std::to_string(o.w) + " x " + std::to_string(o.h) + describe(o));
      EXPECT_FALSE(stray);
      for (int y = 0; y < o.h; ++y)
        for (int x = 0; x < o.w; ++x) {
          bool boundary = s.at(x, y) && (!s.at(x - 1, y) || !s.at(x + 1, y) || !s.at(x, y - 1) || !s.at(x, y + 1));
          // Every edge pixel of the filled oval is on the outline, and the outline
          // never leaves the filled oval's rows.
          if (boundary) {
            EXPECT_TRUE(o.at(x, y)) << "gap at " << x << "," << y;
          }
          if (o.at(x, y)) {
            EXPECT_TRUE(s.at(x, y) || !s.at(x, y - 1) || !s.at(x, y + 1)) << x << "," << y;
          }
        }
    }
}

TEST(HugePrimitives, AnOvalReachingBeyondTheIntegerRangeStillShowsItsNearEnd) {
  RunResult r = runModule("gfx_huge_oval");
  ASSERT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
  auto logs = r.logs();
  EXPECT_EQ(logs, (std::vector<std::string>{"solid_left_part=" + std::to_string(0xFFFFFF), "left_of_box=1"}));
}

INSTANTIATE_TEST_SUITE_P(Depths, Primitives, ::testing::Values(16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "Depth" + std::to_string(info.param); });

}  // namespace
