// Transforms against a plain per-pixel reference written here, exact
// rotations, mirrors and scales, result sizes, and degenerate matrices.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

#include "images/transform.h"

using namespace kr;

namespace {

std::unique_ptr<Canvas> makeCanvas(int w, int h, int depth = 32) {
  auto store = PixelStore::create(w, h, PixelFormat::forDepth(depth));
  return store ? std::make_unique<Canvas>(nullptr, store) : nullptr;
}

std::unique_ptr<Canvas> patterned(int w, int h, int depth = 32, unsigned seed = 1) {
  auto c = makeCanvas(w, h, depth);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) c->writePixelFast(x, y, rng() & 0xFFFFFF);
  return c;
}

std::uint32_t at(const Canvas& c, int x, int y) { return c.readPixelFast(x, y); }

// The reference: each step as the transform is described, one pixel at a time,
// in single precision.
__attribute__((target("fpmath=sse"))) std::uint32_t referenceRead(const Canvas& s, int x, int y) {
  if (x < 0 || y < 0 || x >= s.width() || y >= s.height()) return s.maskColour();
  return at(s, x, y);
}

__attribute__((target("fpmath=sse"))) std::uint32_t referenceSample(const Canvas& s, float fx, float fy, bool filter) {
  if (!filter) return referenceRead(s, static_cast<int>(std::floor(fx)), static_cast<int>(std::floor(fy)));
  fx = fx - 0.5f, fy = fy - 0.5f;
  float x0 = std::floor(fx), y0 = std::floor(fy);
  float tx = fx - x0, ty = fy - y0;
  int ix = static_cast<int>(x0), iy = static_cast<int>(y0);
  std::uint32_t c[4] = {referenceRead(s, ix, iy), referenceRead(s, ix + 1, iy), referenceRead(s, ix + 1, iy + 1),
                        referenceRead(s, ix, iy + 1)};
  float w[4] = {(1 - tx) * (1 - ty), tx * (1 - ty), tx * ty, (1 - tx) * ty};
  std::uint32_t out = 0;
  for (int shift : {16, 8, 0}) {
    float sum = w[0] * ((c[0] >> shift) & 0xFF);
    for (int k = 1; k < 4; ++k) sum = sum + w[k] * ((c[k] >> shift) & 0xFF);
    out |= static_cast<std::uint32_t>(static_cast<int>(sum + 0.5f)) << shift;
  }
  return out;
}

__attribute__((target("fpmath=sse"))) void expectMatchesReference(const Canvas& source, float a, float b, float c,
                                                                    float d, bool filter, const char* what) {
  TransformPlan p = planTransform(source.width(), source.height(), source.handleX(), source.handleY(), a, b, c, d);
  ASSERT_TRUE(p.valid) << what;
  auto target = makeCanvas(p.width, p.height, source.depth());
  renderTransform(source, *target, p, filter);
  const float r = 1.0f / (a * d - b * c);
  for (int j = 0; j < p.height; ++j)
    for (int i = 0; i < p.width; ++i) {
      float px = p.minX + 0.5f + i, py = p.minY + 0.5f + j;
      float qx = r * (d * px - c * py), qy = r * (a * py - b * px);
      std::uint32_t want = referenceSample(source, qx + source.handleX(), qy + source.handleY(), filter);
      want = source.format().toArgb(source.format().fromArgb(want));
      ASSERT_EQ(at(*target, i, j), want) << what << " filter " << filter << " at " << i << "," << j;
    }
}

TEST(Transform, MatchesTheReferenceForRotationsScalesAndShears) {
  for (int depth : {16, 32}) {
    auto source = patterned(23, 17, depth);
    source->setHandle(7, 5);
    source->setMaskColour(0x00FF00FF);
    const float angle = -(30 * 0.017453292f);
    const float cs = std::cos(angle), sn = std::sin(angle);
    for (bool filter : {false, true}) {
      expectMatchesReference(*source, cs, -sn, sn, cs, filter, "rotate 30");
      expectMatchesReference(*source, 2, 0, 0, 2, filter, "scale 2");
      expectMatchesReference(*source, 0.37f, 0, 0, 1.9f, filter, "stretch");
      expectMatchesReference(*source, 1, 0, 0.5f, 1, filter, "shear");
      expectMatchesReference(*source, -1, 0, 0, 1, filter, "mirror");
      expectMatchesReference(*source, 1.3f, 0.4f, -0.2f, 0.8f, filter, "general");
    }
  }
}

TEST(Transform, QuarterTurnsMapEveryPixelExactly) {
  auto source = patterned(9, 5);
  for (bool filter : {false, true}) {
    // 90 degrees: (x, y) goes to (-y, x); a 9 x 5 picture becomes 5 x 9.
    TransformPlan p = planTransform(9, 5, 0, 0, 0, 1, -1, 0);
    ASSERT_TRUE(p.valid);
    EXPECT_EQ(p.width, 5);
    EXPECT_EQ(p.height, 9);
    EXPECT_EQ(p.handleX, 5);
    EXPECT_EQ(p.handleY, 0);
    auto t = makeCanvas(p.width, p.height);
    renderTransform(*source, *t, p, filter);
    for (int j = 0; j < 9; ++j)
      for (int i = 0; i < 5; ++i) ASSERT_EQ(at(*t, i, j), at(*source, j, 4 - i)) << i << "," << j;
    // 180 and 270.
    p = planTransform(9, 5, 0, 0, -1, 0, 0, -1);
    t = makeCanvas(p.width, p.height);
    renderTransform(*source, *t, p, filter);
    for (int j = 0; j < 5; ++j)
      for (int i = 0; i < 9; ++i) ASSERT_EQ(at(*t, i, j), at(*source, 8 - i, 4 - j));
    p = planTransform(9, 5, 0, 0, 0, -1, 1, 0);
    t = makeCanvas(p.width, p.height);
    renderTransform(*source, *t, p, filter);
    for (int j = 0; j < 9; ++j)
      for (int i = 0; i < 5; ++i) ASSERT_EQ(at(*t, i, j), at(*source, 8 - j, i));
  }
  // RotateImage's own matrix for 90 degrees has a cosine of about -4e-8, not 0:
  // the result is still exactly 5 x 9.
  const float r = -(90 * 0.017453292f);
  TransformPlan p = planTransform(9, 5, 0, 0, std::cos(r), -std::sin(r), std::sin(r), std::cos(r));
  EXPECT_EQ(p.width, 5);
  EXPECT_EQ(p.height, 9);
}

TEST(Transform, ScalingByTwoDoublesPixelsAndMovesTheHandle) {
  auto source = patterned(10, 10);
  TransformPlan p = planTransform(10, 10, 0, 0, 2, 0, 0, 2);
  EXPECT_EQ(p.width, 20);
  EXPECT_EQ(p.handleX, 0);
  p = planTransform(10, 10, 5, 5, 2, 0, 0, 2);
  EXPECT_EQ(p.width, 20);
  EXPECT_EQ(p.height, 20);
  EXPECT_EQ(p.handleX, 10);
  EXPECT_EQ(p.handleY, 10);
  auto t = makeCanvas(20, 20);
  source->setHandle(5, 5);
  renderTransform(*source, *t, p, false);
  for (int j = 0; j < 20; ++j)
    for (int i = 0; i < 20; ++i) ASSERT_EQ(at(*t, i, j), at(*source, i / 2, j / 2));
  // Filtered, a picture of one colour keeps it inside and blends the mask
  // colour (black) in at its edges: the corner samples 9/16 of its own pixel.
  auto grey = makeCanvas(10, 10);
  grey->setClearColour(0x808080);
  grey->clear();
  renderTransform(*grey, *t, planTransform(10, 10, 0, 0, 2, 0, 0, 2), true);
  EXPECT_EQ(at(*t, 7, 9), 0x808080u);
  EXPECT_EQ(at(*t, 0, 0), 0x484848u);
  EXPECT_EQ(at(*t, 19, 10), 0x606060u);
}

TEST(Transform, IdentityAndRotationByZeroChangeNothing) {
  auto source = patterned(13, 7);
  source->setHandle(3, 2);
  for (bool filter : {false, true}) {
    TransformPlan p = planTransform(13, 7, 3, 2, 1, -0.0f, 0.0f, 1);
    ASSERT_TRUE(p.valid);
    EXPECT_EQ(p.width, 13);
    EXPECT_EQ(p.handleX, 3);
    auto t = makeCanvas(p.width, p.height);
    renderTransform(*source, *t, p, filter);
    for (int j = 0; j < 7; ++j)
      for (int i = 0; i < 13; ++i) ASSERT_EQ(at(*t, i, j), at(*source, i, j));
  }
}

TEST(Transform, ResizingGivesExactlyTheAskedSize) {
  for (int from = 1; from <= 120; ++from)
    for (int to : {1, 2, 3, 7, 30, 31, 64, 99, 100, 101, 250}) {
      const float factor = static_cast<float>(to) / static_cast<float>(from);
      TransformPlan p = planTransform(from, from, 0, 0, factor, 0, 0, factor);
      ASSERT_TRUE(p.valid);
      ASSERT_EQ(p.width, to) << from << " -> " << to;
      ASSERT_EQ(p.height, to) << from << " -> " << to;
    }
}

TEST(Transform, DegenerateMatricesHaveNoResult) {
  const float inf = INFINITY, nan = NAN;
  EXPECT_FALSE(planTransform(10, 10, 0, 0, 0, 0, 0, 0).valid);
  EXPECT_FALSE(planTransform(10, 10, 0, 0, 1, 2, 2, 4).valid) << "determinant 0";
  EXPECT_FALSE(planTransform(10, 10, 0, 0, nan, 0, 0, 1).valid);
  EXPECT_FALSE(planTransform(10, 10, 0, 0, inf, 0, 0, 1).valid);
  EXPECT_FALSE(planTransform(10, 10, 0, 0, 1e30f, 0, 0, 1e30f).valid);
  EXPECT_FALSE(planTransform(10, 10, 0, 0, 1e-30f, 0, 0, 1e30f).valid);
  EXPECT_FALSE(planTransform(10, 10, 0, 0, 2000, 0, 0, 1).valid) << "wider than any canvas";
  EXPECT_FALSE(planTransform(10, 10, 2000000000, 0, 2, 0, 0, 1).valid) << "handle far away";
  EXPECT_FALSE(planTransform(10, 10, INT_MIN, INT_MAX, 1, 0, 0, 1).valid) << "handles at the ends of int";
}

TEST(Transform, TheSourceViewportAndOriginPlayNoPart) {
  auto source = patterned(12, 8);
  auto plain = patterned(12, 8);
  source->setViewport(2, 2, 3, 3);
  source->setOrigin(-4, 6);
  TransformPlan p = planTransform(12, 8, 0, 0, 1.5f, 0, 0, 1.5f);
  auto t1 = makeCanvas(p.width, p.height), t2 = makeCanvas(p.width, p.height);
  renderTransform(*source, *t1, p, true);
  renderTransform(*plain, *t2, p, true);
  for (int j = 0; j < p.height; ++j)
    for (int i = 0; i < p.width; ++i) ASSERT_EQ(at(*t1, i, j), at(*t2, i, j));
}

}  // namespace
