// Pixel-exact collisions against brute force over every word shift and both
// argument orders, and masks kept current through every kind of drawing.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>

#include "images/collision.h"

using namespace kr;

namespace {

std::unique_ptr<Canvas> makeCanvas(int w, int h, int depth = 32) {
  auto store = PixelStore::create(w, h, PixelFormat::forDepth(depth));
  return store ? std::make_unique<Canvas>(nullptr, store) : nullptr;
}

// Mostly mask colour (black), with a few solid pixels: collisions are rare
// enough that every word of the test loop is reached.
void sprinkle(Canvas& c, std::mt19937& rng, int percent) {
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x)
      c.writePixelFast(x, y, static_cast<int>(rng() % 100) < percent ? (rng() | 0x010101) & 0xFFFFFF : 0);
}

bool solid(const Canvas& c, int x, int y) { return c.readPixelFast(x, y) != c.maskColour(); }

bool bruteCollide(const Canvas& a, int x1, int y1, const Canvas& b, int x2, int y2) {
  const std::int64_t ax = static_cast<std::int64_t>(x1) - a.handleX(), ay = static_cast<std::int64_t>(y1) - a.handleY();
  const std::int64_t bx = static_cast<std::int64_t>(x2) - b.handleX(), by = static_cast<std::int64_t>(y2) - b.handleY();
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      std::int64_t u = ax + x - bx, v = ay + y - by;
      if (u >= 0 && v >= 0 && u < b.width() && v < b.height() && solid(a, x, y) &&
          solid(b, static_cast<int>(u), static_cast<int>(v)))
        return true;
    }
  return false;
}

bool bruteRect(const Canvas& a, int x, int y, int rx, int ry, int rw, int rh) {
  for (int j = 0; j < a.height(); ++j)
    for (int i = 0; i < a.width(); ++i) {
      std::int64_t px = static_cast<std::int64_t>(x) - a.handleX() + i, py = static_cast<std::int64_t>(y) - a.handleY() + j;
      if (px >= rx && px < static_cast<std::int64_t>(rx) + rw && py >= ry && py < static_cast<std::int64_t>(ry) + rh &&
          solid(a, i, j))
        return true;
    }
  return false;
}

// The mask as it is now, and as building it afresh gives it.
std::vector<std::uint32_t> maskWords(Canvas& c) { return collisionMaskOf(c).words; }
std::vector<std::uint32_t> freshMask(Canvas& c) {
  auto fresh = makeCanvas(c.width(), c.height(), c.depth());
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) storePixel(fresh->address(x, y), c.depth(), loadPixel(c.address(x, y), c.depth()));
  fresh->setMaskColour(c.maskColour());
  return collisionMaskOf(*fresh).words;
}

TEST(Collide, EveryShiftAndBothOrdersAgreeWithBruteForce) {
  std::mt19937 rng(7);
  for (int depth : {16, 24, 32}) {
    auto a = makeCanvas(75, 6, depth), b = makeCanvas(41, 5, depth);
    sprinkle(*a, rng, 4);
    sprinkle(*b, rng, 6);
    b->setHandle(3, -2);
    int hits = 0;
    for (int dy = -7; dy <= 8; ++dy)
      for (int dx = -50; dx <= 85; ++dx) {
        bool want = bruteCollide(*a, 0, 0, *b, dx, dy);
        hits += want;
        ASSERT_EQ(framesCollide(*a, 0, 0, *b, dx, dy), want) << depth << " a first, " << dx << "," << dy;
        ASSERT_EQ(framesCollide(*b, dx, dy, *a, 0, 0), want) << depth << " b first, " << dx << "," << dy;
      }
    EXPECT_GT(hits, 50);
    EXPECT_LT(hits, 16 * 136 - 50) << "the sweep must see both answers";
  }
}

TEST(Collide, FramesWithRectanglesAgreeWithBruteForce) {
  std::mt19937 rng(11);
  auto a = makeCanvas(70, 9);
  sprinkle(*a, rng, 3);
  a->setHandle(5, 4);
  for (int round = 0; round < 20000; ++round) {
    int rx = static_cast<int>(rng() % 100) - 20, ry = static_cast<int>(rng() % 20) - 8;
    int rw = static_cast<int>(rng() % 50) - 3, rh = static_cast<int>(rng() % 8) - 1;
    bool want = rw > 0 && rh > 0 && bruteRect(*a, 0, 0, rx, ry, rw, rh);
    ASSERT_EQ(frameCollidesRect(*a, 0, 0, rx, ry, rw, rh), want) << rx << "," << ry << " " << rw << "x" << rh;
  }
}

TEST(Collide, HalvesSideBySideAndDiagonalNeighbours) {
  auto left = makeCanvas(64, 1), right = makeCanvas(64, 1);
  for (int x = 0; x < 32; ++x) left->writePixelFast(x, 0, 0xFFFFFF), right->writePixelFast(x + 32, 0, 0xFFFFFF);
  EXPECT_FALSE(framesCollide(*left, 0, 0, *right, 0, 0));
  EXPECT_TRUE(framesCollide(*left, 1, 0, *right, 0, 0));

  auto dot1 = makeCanvas(3, 3), dot2 = makeCanvas(3, 3);
  dot1->writePixelFast(2, 2, 0xFF);
  dot2->writePixelFast(0, 0, 0xFF);
  EXPECT_FALSE(framesCollide(*dot1, 0, 0, *dot2, 3, 3)) << "touching diagonally";
  EXPECT_TRUE(framesCollide(*dot1, 0, 0, *dot2, 2, 2)) << "sharing one pixel";
  // Overlapping rectangles over masked pixels only.
  EXPECT_TRUE(rectanglesOverlap(placeFrame(*dot1, 0, 0), placeFrame(*dot2, 1, 1)));
  EXPECT_FALSE(framesCollide(*dot1, 0, 0, *dot2, 1, 1));
}

TEST(Collide, RectangleTestsWorkInSixtyFourBits) {
  auto overlap = [](std::int64_t x1, std::int64_t y1, std::int64_t w1, std::int64_t h1, std::int64_t x2, std::int64_t y2,
                    std::int64_t w2, std::int64_t h2) {
    return rectanglesOverlap(Placed{x1, y1, w1, h1}, Placed{x2, y2, w2, h2});
  };
  EXPECT_FALSE(overlap(0, 0, 10, 10, 10, 0, 10, 10));
  EXPECT_TRUE(overlap(0, 0, 10, 10, 9, 0, 10, 10));
  EXPECT_TRUE(overlap(5, 5, 0, 0, 0, 0, 10, 10));
  EXPECT_FALSE(overlap(0, 0, 0, 0, 0, 0, 10, 10));
  EXPECT_TRUE(overlap(INT_MAX - 5, 0, 10, 10, INT_MAX - 1, 0, 10, 10)) << "right edges past 2^31";
  auto a = makeCanvas(10, 10), b = makeCanvas(10, 10);
  for (auto* c : {a.get(), b.get()}) {
    c->setColour(0xFFFFFF);
    c->rectangle(0, 0, 10, 10, true);
  }
  EXPECT_TRUE(framesCollide(*a, INT_MAX - 5, 0, *b, INT_MAX - 1, 0));
  EXPECT_TRUE(frameCollidesRect(*a, INT_MAX - 5, 0, INT_MAX - 1, 0, 10, 10));
  b->setHandle(-10, 0);  // placed 10 to the right of INT_MIN
  EXPECT_FALSE(framesCollide(*a, INT_MIN, 0, *b, INT_MIN, 0));
  EXPECT_TRUE(framesCollide(*a, INT_MIN + 11, 0, *b, INT_MIN, 0));
}

TEST(CollisionMask, StaysCurrentThroughEveryKindOfDrawing) {
  std::mt19937 rng(3);
  for (int depth : {16, 24, 32}) {
    auto c = makeCanvas(100, 40, depth);
    auto source = makeCanvas(37, 13, depth);
    sprinkle(*c, rng, 50);
    sprinkle(*source, rng, 50);
    maskWords(*c);  // the mask now exists and follows every change
    std::vector<std::function<void()>> changes = {
        [&] { c->setColour(0xFF0000), c->rectangle(10, 5, 45, 20, true); },
        [&] { c->setColour(0), c->rectangle(3, 3, 70, 30, false); },
        [&] { c->setColour(0x00FF00), c->plot(63, 7); },
        [&] { c->setColour(0), c->plot(64, 7); },
        [&] { c->setColour(0x123456), c->line(0, 39, 99, 0); },
        [&] { c->setColour(0), c->oval(20, 2, 50, 30, true); },
        [&] { c->setColour(0xFFFFFF), c->oval(20, 2, 50, 30, false); },
        [&] { c->setClearColour(0), c->setViewport(31, 4, 35, 9), c->clear(), c->resetView(); },
        [&] { c->setClearColour(0x0000FF), c->clear(); },
        [&] { c->blit(17, 11, *source, 0, 0, 37, 13, false); },
        [&] { c->blit(-5, 30, *source, 0, 0, 37, 13, true); },
        [&] { c->blit(40, 0, *c, 0, 10, 30, 20, true); },
        [&] { c->setOrigin(5, 5), c->writePixel(90, 30, 0), c->setOrigin(0, 0); },
        [&] { c->writePixelFast(99, 39, 0xABCDEF); },
        [&] { c->writePixelFast(95, 39, 0); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
      changes[i]();
      ASSERT_EQ(maskWords(*c), freshMask(*c)) << "depth " << depth << " change " << i;
    }
    // Many changes between two tests: the noted rectangles are merged.
    for (int round = 0; round < 3; ++round)
      for (auto& change : changes) change();
    ASSERT_EQ(maskWords(*c), freshMask(*c)) << "depth " << depth << " after every change at once";
    // Columns past the width stay 0 in the last word of every row.
    const CollisionMask& m = collisionMaskOf(*c);
    for (int y = 0; y < c->height(); ++y) EXPECT_EQ(m.row(y)[3] & 0xFFFFFFF0u, 0u);
  }
}

TEST(CollisionMask, DroppingItRebuildsWithTheNewMaskColour) {
  auto c = makeCanvas(40, 2);
  c->writePixelFast(5, 0, 0xFF00FF);
  EXPECT_TRUE(frameCollidesRect(*c, 0, 0, 5, 0, 1, 1));
  c->setMaskColour(0xFF00FF);
  dropCollisionMask(*c);
  EXPECT_FALSE(frameCollidesRect(*c, 0, 0, 5, 0, 1, 1));
  EXPECT_TRUE(frameCollidesRect(*c, 0, 0, 6, 0, 1, 1)) << "black is solid now";
}

}  // namespace
