// Canvases without a display: pixel formats, blits against a per-pixel model,
// clipping of every primitive, hostile coordinates, BMP bytes.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

#include "graphics/canvas.h"
#include "graphics/graphics_device.h"
#include "tests/support/module_runner.h"

using namespace kr;

namespace {

std::unique_ptr<Canvas> makeCanvas(int w, int h, int depth) {
  auto store = PixelStore::create(w, h, PixelFormat::forDepth(depth));
  return store ? std::make_unique<Canvas>(nullptr, store) : nullptr;
}

std::uint32_t raw(const Canvas& c, int x, int y) { return loadPixel(c.address(x, y), c.depth()); }

// Random colours that survive the format, a few of them the mask colour (black).
void scribble(Canvas& c, std::mt19937& rng) {
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      std::uint32_t argb = rng() % 4 == 0 ? 0 : rng() & 0xFFFFFF;
      storePixel(c.address(x, y), c.depth(), c.format().fromArgb(argb));
    }
}

std::vector<std::uint32_t> snapshot(const Canvas& c) {
  std::vector<std::uint32_t> v;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) v.push_back(raw(c, x, y));
  return v;
}

// ---- pixel formats ----

TEST(PixelFormat, SixteenBitPixelsSurviveEveryRoundTrip) {
  PixelFormat f = PixelFormat::forDepth(16);
  for (std::uint32_t p = 0; p < 0x10000; ++p) ASSERT_EQ(f.fromArgb(f.toArgb(p)), p) << p;
  EXPECT_EQ(f.toArgb(f.fromArgb(0xFFFFFFFF)), 0x00F8FCF8u);
  EXPECT_EQ(f.fromArgb(0x00FF0000), 0xF800u);
  EXPECT_EQ(f.fromArgb(0x0000FF00), 0x07E0u);
  EXPECT_EQ(f.fromArgb(0x000000FF), 0x001Fu);
  EXPECT_EQ(f.argbShift[PixelFormat::kRed], 19);
  EXPECT_EQ(f.argbShift[PixelFormat::kGreen], 10);
  EXPECT_EQ(f.argbShift[PixelFormat::kBlue], 3);
}

TEST(PixelFormat, EightBitChannelsKeepColourAndDropAlpha) {
  for (int depth : {24, 32}) {
    PixelFormat f = PixelFormat::forDepth(depth);
    std::mt19937 rng(depth);
    for (int i = 0; i < 10000; ++i) {
      std::uint32_t argb = rng();
      EXPECT_EQ(f.toArgb(f.fromArgb(argb)), argb & 0xFFFFFF);
    }
    EXPECT_EQ(f.toArgb(f.fromArgb(0xFFFFFFFF)), 0x00FFFFFFu);
  }
  PixelFormat withAlpha = PixelFormat::fromMasks(32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF);
  EXPECT_EQ(withAlpha.toArgb(withAlpha.fromArgb(0x80123456)), 0x80123456u);
}

// ---- blits against a per-pixel model ----

struct BlitCase {
  int originX, originY, handleX, handleY;
  int vx, vy, vw, vh;
  int x, y, sx, sy, w, h;
  bool solid;
};

// The reference: copy pixel by pixel wherever destination and source both exist.
bool modelBlit(std::vector<std::uint32_t>& dst, const Canvas& d, const Canvas& s, const BlitCase& b) {
  Rect v = d.viewport();
  bool any = false;
  for (int j = 0; j < b.h; ++j)
    for (int i = 0; i < b.w; ++i) {
      int dx = b.x + b.originX - b.handleX + i, dy = b.y + b.originY - b.handleY + j;
      int sx = b.sx + i, sy = b.sy + j;
      if (dx < v.left || dx >= v.right || dy < v.top || dy >= v.bottom) continue;
      if (sx < 0 || sx >= s.width() || sy < 0 || sy >= s.height()) continue;
      any = true;
      std::uint32_t p = raw(s, sx, sy);
      if (b.solid || p != s.maskPixel()) dst[dy * d.width() + dx] = p;
    }
  return any;
}

TEST(Blit, MatchesThePerPixelModelAcrossEveryEdge) {
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
  for (int depth : {16, 24, 32}) {
    auto src = makeCanvas(37, 23, depth), dst = makeCanvas(50, 40, depth);
    for (int round = 0; round < 1500; ++round) {
      scribble(*src, rng);
      scribble(*dst, rng);
      BlitCase b{pick(-20, 20), pick(-20, 20), pick(-10, 10), pick(-10, 10), pick(-10, 45), pick(-10, 35),
                 pick(0, 60),   pick(0, 50),   pick(-60, 70), pick(-50, 60), pick(-45, 50), pick(-30, 40),
                 pick(0, 60),   pick(0, 45),   rng() % 2 == 0};
      dst->setOrigin(b.originX, b.originY);
      dst->setViewport(b.vx, b.vy, b.vw, b.vh);
      src->setHandle(b.handleX, b.handleY);
      std::vector<std::uint32_t> want = snapshot(*dst);
      bool changes = modelBlit(want, *dst, *src, b);
      std::uint32_t before = dst->modificationCount();
      dst->blit(b.x, b.y, *src, b.sx, b.sy, b.w, b.h, b.solid);
      ASSERT_EQ(snapshot(*dst), want) << "depth " << depth << " round " << round;
      ASSERT_EQ(dst->modificationCount() - before, changes ? 1u : 0u) << "round " << round;
    }
  }
}

TEST(Blit, ACanvasScrollsOntoItselfInEveryDirection) {
  std::mt19937 rng(11);
  for (int depth : {16, 24, 32})
    for (bool solid : {true, false})
      for (auto [dx, dy] : {std::pair{0, -3}, {0, 3}, {-5, 0}, {5, 0}, {4, 4}, {-4, -4}}) {
        auto c = makeCanvas(30, 20, depth);
        scribble(*c, rng);
        std::vector<std::uint32_t> want = snapshot(*c);
        std::vector<std::uint32_t> before = want;
        for (int y = 0; y < 20; ++y)
          for (int x = 0; x < 30; ++x) {
            int sx = x - dx, sy = y - dy;
            if (sx < 0 || sy < 0 || sx >= 30 || sy >= 20) continue;
            std::uint32_t p = before[sy * 30 + sx];
            if (solid || p != c->maskPixel()) want[y * 30 + x] = p;
          }
        c->blit(dx, dy, *c, 0, 0, 30, 20, solid);
        EXPECT_EQ(snapshot(*c), want) << depth << " " << solid << " " << dx << "," << dy;
      }
}

TEST(Blit, AnAllMaskSourceChangesNoPixelButCountsAsADraw) {
  auto src = makeCanvas(8, 8, 32), dst = makeCanvas(16, 16, 32);
  dst->setClearColour(0x00FF8000);
  dst->clear();
  std::vector<std::uint32_t> before = snapshot(*dst);
  std::uint32_t count = dst->modificationCount();
  dst->blit(4, 4, *src, 0, 0, 8, 8, false);
  EXPECT_EQ(snapshot(*dst), before);
  EXPECT_EQ(dst->modificationCount(), count + 1);
  // A source rectangle wholly outside the source, or a destination wholly outside
  // the viewport, is not a draw.
  dst->blit(4, 4, *src, 8, 0, 8, 8, false);
  dst->blit(16, 0, *src, 0, 0, 8, 8, true);
  EXPECT_EQ(dst->modificationCount(), count + 1);
}

TEST(Blit, MaskedBlitBetweenFormatsConvertsAndKeys) {
  auto src = makeCanvas(2, 1, 32), dst = makeCanvas(2, 1, 16);
  src->writePixelFast(0, 0, 0x00FF0000);
  src->writePixelFast(1, 0, 0);
  dst->setClearColour(0x000000FF);
  dst->clear();
  dst->blit(0, 0, *src, 0, 0, 2, 1, false);
  EXPECT_EQ(dst->readPixelFast(0, 0), 0x00F80000u);
  EXPECT_EQ(dst->readPixelFast(1, 0), 0x000000F8u);
}

// ---- viewport and clipping of the primitives ----

TEST(Viewport, OutsideTheCanvasBecomesEmptyAndStopsAllDrawing) {
  auto c = makeCanvas(20, 20, 32);
  auto src = makeCanvas(4, 4, 32);
  src->setClearColour(0xFFFFFF);
  src->clear();
  c->setViewport(30, 5, 10, 10);
  EXPECT_TRUE(c->viewport().empty());
  EXPECT_EQ(c->viewport().left, 0);
  EXPECT_EQ(c->viewport().right, 0);
  std::uint32_t count = c->modificationCount();
  c->setClearColour(0xFFFFFF);
  c->clear();
  c->plot(0, 0);
  c->line(0, 0, 19, 19);
  c->rectangle(0, 0, 20, 20, true);
  c->oval(0, 0, 20, 20, true);
  c->blit(0, 0, *src, 0, 0, 4, 4, true);
  c->writePixel(0, 0, 0xFFFFFF);
  EXPECT_EQ(c->modificationCount(), count);
  for (std::uint32_t p : snapshot(*c)) ASSERT_EQ(p, 0u);
  c->setViewport(-5, 15, 10, 100);  // overlapping: intersected
  EXPECT_EQ(c->viewport().left, 0);
  EXPECT_EQ(c->viewport().top, 15);
  EXPECT_EQ(c->viewport().right, 5);
  EXPECT_EQ(c->viewport().bottom, 20);
}

// Hostile values: every primitive with extreme coordinates, sizes and origins.
// Nothing outside the viewport may change, and every call returns promptly.
TEST(Clipping, ExtremeCoordinatesNeverTouchPixelsOutsideTheViewport) {
  const int extremes[] = {INT_MIN, INT_MIN + 1, -1000000000, -65536, -1, 0, 1, 30, 63, 64, 65536, 1000000000, INT_MAX - 1, INT_MAX};
  for (int depth : {16, 24, 32}) {
    auto c = makeCanvas(64, 64, depth);
    auto src = makeCanvas(16, 16, depth);
    src->setClearColour(0x00FFFFFF);
    src->clear();
    c->setViewport(16, 16, 32, 32);
    c->setColour(0x00FFFFFF);
    int k = 0;
    for (int a : extremes)
      for (int b : extremes) {
        int e = extremes[(k++) % 14];
        c->setOrigin(e, b);
        c->plot(a, b);
        c->line(a, b, b, a);
        c->line(a, 20, b, 40);
        c->rectangle(a, b, b, a, k % 2);
        c->rectangle(a, a, b, b, k % 2);
        c->oval(a, b, a, b, k % 2);
        c->oval(a, a, b, b, k % 2);
        c->oval(20, 20, b, a, k % 2);
        src->setHandle(a, e);
        c->blit(a, b, *src, b, a, a, b, k % 2);
        c->blit(20, 20, *src, a, b, b, a, k % 2);
        c->writePixel(a, b, 0xFFFFFF);
        c->readPixel(a, b);
        c->readPixelFast(a, b);
      }
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (x < 16 || x >= 48 || y < 16 || y >= 48) {
          ASSERT_EQ(raw(*c, x, y), 0u) << depth << ": " << x << "," << y;
        }
  }
}

TEST(Clipping, ALineWithFarEndPointsKeepsOnePixelPerColumnOnTheIdealLine) {
  auto c = makeCanvas(100, 100, 32);
  c->setViewport(10, 10, 80, 80);
  const std::int64_t x1 = -1000000000, y1 = -300000000, x2 = 1000000000, y2 = 300000050;
  c->line(static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2), static_cast<int>(y2));
  for (int x = 0; x < 100; ++x) {
    int hits = 0;
    for (int y = 0; y < 100; ++y) {
      if (!raw(*c, x, y)) continue;
      ++hits;
      double ideal = y1 + static_cast<double>(y2 - y1) * (x - x1) / static_cast<double>(x2 - x1);
      EXPECT_LE(std::fabs(y - ideal), 0.5 + 1e-6) << x;
    }
    EXPECT_EQ(hits, x >= 10 && x < 90 ? 1 : 0) << "column " << x;
  }
}

// A primitive drawn through a viewport shows exactly the part of the whole
// primitive that lies inside it: nothing moves when the edge cuts through.
void drawRandomPrimitive(Canvas& c, int kind, const int (&v)[6]) {
  int x = std::min(v[0], 119 - v[2]), y = std::min(v[1], 119 - v[3]);
  switch (kind) {
    case 0: c.line(v[0], v[1], v[4], v[5]); break;
    case 1: c.oval(x, y, v[2], v[3], false); break;
    case 2: c.oval(x, y, v[2], v[3], true); break;
    case 3: c.rectangle(x, y, v[2], v[3], false); break;
    default: c.rectangle(x, y, v[2], v[3], true); break;
  }
}

TEST(Clipping, PrimitivesCutByAViewportShowTheirUncutPixels) {
  std::mt19937 rng(3);
  auto pick = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
  for (int round = 0; round < 5000; ++round) {
    int depth = round % 2 ? 16 : 32, kind = round % 5;
    auto whole = makeCanvas(120, 120, depth), cut = makeCanvas(120, 120, depth);
    cut->setViewport(pick(0, 80), pick(0, 80), pick(1, 60), pick(1, 60));
    int ox = pick(-10, 10), oy = pick(-10, 10);
    const int v[6] = {pick(10, 100), pick(10, 100), pick(1, 90), pick(1, 90), pick(-40, 150), pick(-40, 150)};
    for (Canvas* c : {whole.get(), cut.get()}) {
      c->setOrigin(ox, oy);
      drawRandomPrimitive(*c, kind, v);
    }
    const Rect& r = cut->viewport();
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 120; ++x) {
        bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        ASSERT_EQ(raw(*cut, x, y), in ? raw(*whole, x, y) : 0u) << "kind " << kind << " round " << round;
      }
  }
}

TEST(Pixels, FastAccessOutsideTheCanvasIsIgnoredAndLocksNest) {
  auto c = makeCanvas(4, 4, 32);
  c->setViewport(1, 1, 1, 1);
  c->setOrigin(2, 2);
  c->writePixelFast(0, 3, 0xFFFFFF);  // no origin, no viewport: canvas coordinates
  EXPECT_EQ(raw(*c, 0, 3), 0xFFFFFFu);
  EXPECT_EQ(c->readPixelFast(0, 3), 0x00FFFFFFu);
  c->resetView();
  std::uint32_t count = c->modificationCount();
  c->writePixelFast(4, 0, 0xFFFFFF);
  c->writePixelFast(-1, 2, 0xFFFFFF);
  c->writePixelFast(0, INT_MAX, 0xFFFFFF);
  EXPECT_EQ(c->modificationCount(), count);
  EXPECT_EQ(c->readPixelFast(INT_MIN, 0), 0u);
  c->unlock();  // unbalanced: stays unlocked
  EXPECT_EQ(c->lockCount(), 0);
  c->lock();
  c->lock();
  c->unlock();
  EXPECT_EQ(c->lockCount(), 1);
  // Outside the viewport a read gives the mask colour, whatever it is.
  c->setViewport(0, 0, 2, 2);
  c->setMaskColour(0x00FF00FF);
  EXPECT_EQ(c->readPixel(3, 3), 0x00FF00FFu);
}

// ---- the collision mask hook ----

std::vector<Rect> gRefreshed;
void recordRefresh(Canvas&, const Rect& r) { gRefreshed.push_back(r); }

bool sameRect(const Rect& r, int l, int t, int rt, int b) {
  return r.left == l && r.top == t && r.right == rt && r.bottom == b;
}

// A canvas with a mask hears of every change over the rectangle it touched;
// one without a mask costs nothing and is never called.
TEST(CollisionHook, EveryChangeRefreshesTheMaskOverItsClippedRectangle) {
  auto c = makeCanvas(40, 30, 32), src = makeCanvas(8, 8, 32);
  Canvas::collisionMaskRefresh = recordRefresh;
  gRefreshed.clear();
  src->plot(1, 1);
  EXPECT_TRUE(gRefreshed.empty());
  c->setCollisionMask(reinterpret_cast<CollisionMask*>(c.get()));  // any non-null mask
  c->setViewport(5, 5, 30, 20);
  c->clear();
  c->plot(6, 7);
  c->plot(0, 0);  // outside: no change, no refresh
  c->line(30, 10, 50, 12);
  c->rectangle(0, 0, 10, 10, false);
  c->oval(20, 20, 20, 20, true);
  c->blit(-2, 6, *src, 0, 0, 8, 8, false);
  c->writePixel(10, 10, 0xFFFFFF);
  c->writePixelFast(1, 2, 0xFFFFFF);
  ASSERT_EQ(gRefreshed.size(), 8u);
  EXPECT_TRUE(sameRect(gRefreshed[0], 5, 5, 35, 25));   // the viewport
  EXPECT_TRUE(sameRect(gRefreshed[1], 6, 7, 7, 8));
  EXPECT_TRUE(sameRect(gRefreshed[2], 30, 10, 35, 13));  // the line's box, clipped
  EXPECT_TRUE(sameRect(gRefreshed[3], 5, 5, 10, 10));
  EXPECT_TRUE(sameRect(gRefreshed[4], 20, 20, 35, 25));
  EXPECT_TRUE(sameRect(gRefreshed[5], 5, 6, 6, 14));
  EXPECT_TRUE(sameRect(gRefreshed[6], 10, 10, 11, 11));
  EXPECT_TRUE(sameRect(gRefreshed[7], 1, 2, 2, 3));
  Canvas::collisionMaskRefresh = nullptr;
}

// ---- BMP files ----

TEST(SaveBmp, WritesAHeaderAndBottomUpPaddedRowsByteForByte) {
  krtest::TempDir dir;
  for (int depth : {16, 32}) {
    auto c = makeCanvas(3, 2, depth);
    c->writePixelFast(0, 0, 0x00FF0000);
    c->writePixelFast(1, 0, 0x0000FF00);
    c->writePixelFast(2, 0, 0x000000FF);
    c->writePixelFast(0, 1, 0x00FFFFFF);
    c->writePixelFast(2, 1, 0x00102030);
    ASSERT_TRUE(c->saveBmp(dir.file("b.bmp").c_str()));
    const unsigned char f = depth == 16 ? 0xF8 : 0xFF, g = depth == 16 ? 0xFC : 0xFF;
    const unsigned char lo = depth == 16 ? 0x10 : 0x10, mid = depth == 16 ? 0x20 : 0x20, hi = depth == 16 ? 0x30 : 0x30;
    std::string want("BM", 2);
    const unsigned char header[] = {78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,
                                    0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    want.append(reinterpret_cast<const char*>(header), sizeof header);
    // Bottom row first: white, black, (0x10, 0x20, 0x30) as blue, green, red; then padding.
    const unsigned char rows[] = {f, g, f, 0, 0, 0, hi, mid, lo, 0, 0, 0,
                                  0, 0, f, 0, g, 0, f, 0, 0, 0, 0, 0};
    want.append(reinterpret_cast<const char*>(rows), sizeof rows);
    EXPECT_EQ(krtest::readFile(dir.file("b.bmp")), want) << "depth " << depth;
  }
  auto one = makeCanvas(1, 1, 32);
  ASSERT_TRUE(one->saveBmp(dir.file("one.bmp").c_str()));
  EXPECT_EQ(krtest::readFile(dir.file("one.bmp")).size(), 58u);
  EXPECT_FALSE(one->saveBmp(dir.file("missing/dir/one.bmp").c_str()));
  EXPECT_FALSE(one->saveBmp("/dev/full"));
}

// ---- stores ----

TEST(PixelStore, RefusesAbsurdSizesAndCountsLiveBytes) {
  PixelFormat f = PixelFormat::forDepth(32);
  EXPECT_EQ(PixelStore::create(0, 10, f), nullptr);
  EXPECT_EQ(PixelStore::create(10, -1, f), nullptr);
  EXPECT_EQ(PixelStore::create(INT_MAX, INT_MAX, f), nullptr);
  EXPECT_EQ(PixelStore::create(16384, 16384, f), nullptr);  // 1 GiB
  std::size_t before = PixelStore::liveBytes();
  {
    auto s = PixelStore::create(10, 10, f);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(PixelStore::liveBytes() - before, 400u);
  }
  EXPECT_EQ(PixelStore::liveBytes(), before);
}

// ---- presentation geometry ----

TEST(Presentation, FullScreenKeepsTheAspectRatioBetweenBorders) {
  SDL_Rect r = presentationRect(DisplayKind::FullScreen, 320, 240, 1280, 1024);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 32);
  EXPECT_EQ(r.w, 1280);
  EXPECT_EQ(r.h, 960);
  r = presentationRect(DisplayKind::FullScreen, 100, 100, 1920, 1080);
  EXPECT_EQ(r.x, 420);
  EXPECT_EQ(r.w, 1080);
  int x, y;
  outputToCanvas(DisplayKind::FullScreen, 320, 240, 1280, 1024, 4, 32 + 4, &x, &y);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, 1);
  outputToCanvas(DisplayKind::FullScreen, 320, 240, 1280, 1024, 1279, 5, &x, &y);  // in the top border
  EXPECT_EQ(x, 319);
  EXPECT_EQ(y, 0);
  outputToCanvas(DisplayKind::FullScreen, 320, 240, 1280, 1024, 640, 1023, &x, &y);
  EXPECT_EQ(y, 239);
}

TEST(Presentation, WindowsMapTheMouseToCanvasPixels) {
  int x, y;
  outputToCanvas(DisplayKind::ScaledWindow, 200, 150, 400, 300, 399, 299, &x, &y);  // right edge: width - 1
  EXPECT_EQ(x, 199);
  EXPECT_EQ(y, 149);
  outputToCanvas(DisplayKind::ScaledWindow, 200, 150, 400, 300, 3, 5, &x, &y);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, 2);
  outputToCanvas(DisplayKind::FixedWindow, 200, 150, 200, 150, 250, -3, &x, &y);
  EXPECT_EQ(x, 199);
  EXPECT_EQ(y, 0);
}

TEST(Presentation, MovingTheMouseToAPixelPointsAtThatPixel) {
  int x, y;
  canvasToOutput(DisplayKind::ScaledWindow, 200, 150, 300, 600, 3, 5, &x, &y);  // client / graphics size
  EXPECT_EQ(x, 5);  // 4.5 rounded up: output column 4 shows canvas column 2
  EXPECT_EQ(y, 20);
  canvasToOutput(DisplayKind::FixedWindow, 200, 150, 100, 100, 150, 120, &x, &y);  // one to one, even off the client area
  EXPECT_EQ(x, 150);
  EXPECT_EQ(y, 120);
  canvasToOutput(DisplayKind::FullScreen, 320, 240, 1280, 1024, 0, 0, &x, &y);  // below the top border
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 32);
  canvasToOutput(DisplayKind::ScaledWindow, 2, 2, 3, 3, -2, -1, &x, &y);  // off the canvas: exactly -3 and -1.5 up to -1
  EXPECT_EQ(x, -3);
  EXPECT_EQ(y, -1);
  // Wherever the picture is enlarged, the pointer lands on the pixel it was sent to.
  struct Output {
    DisplayKind kind;
    int w, h;
  };
  for (Output o : {Output{DisplayKind::ScaledWindow, 333, 457}, Output{DisplayKind::FullScreen, 1280, 1024}, Output{DisplayKind::FullScreen, 1920, 1080},
                   Output{DisplayKind::FixedWindow, 640, 480}})
    for (int cy = 0; cy < 240; cy += 7)
      for (int cx = 0; cx < 320; ++cx) {
        canvasToOutput(o.kind, 320, 240, o.w, o.h, cx, cy, &x, &y);
        int bx, by;
        outputToCanvas(o.kind, 320, 240, o.w, o.h, x, y, &bx, &by);
        ASSERT_EQ(bx, cx) << static_cast<int>(o.kind) << " " << o.w;
        ASSERT_EQ(by, cy) << static_cast<int>(o.kind) << " " << o.w;
      }
}

}  // namespace
