// Pixel-exact collisions: a one-bit-per-pixel mask per canvas, built the first
// time the canvas takes part in a pixel test and kept current by the canvas's
// change hook. Tests compare 32 columns at a time and never read pixels.
#pragma once
#include <cstdint>
#include <vector>

#include "graphics/canvas.h"

namespace kr {

// Row y, word k holds columns 32k to 32k + 31, column 32k + j in bit j (so a
// row of 32-bit pixels turns into words with no bit reversal). A bit is 1
// where the pixel differs from the canvas's mask colour; bits past the width
// are 0.
//
// Drawing only notes the rectangles it changed; the words under them are
// rebuilt when the mask is next asked for. A frame drawn into many times
// between tests pays once, for the changed area, at the test.
struct CollisionMask {
  static constexpr int kMaxPending = 4;  // more are merged into their bounding box

  int wordsPerRow = 0;
  std::vector<std::uint32_t> words;
  Rect pending[kMaxPending];
  int pendingCount = 0;

  const std::uint32_t* row(int y) const { return words.data() + static_cast<std::size_t>(y) * wordsPerRow; }
  std::uint32_t* row(int y) { return words.data() + static_cast<std::size_t>(y) * wordsPerRow; }
};

// The canvas's mask, current: built over the whole canvas when it has none,
// rebuilt over what changed since it was last asked for. Throws
// std::bad_alloc when memory runs out.
const CollisionMask& collisionMaskOf(Canvas& canvas);
// Forgets the mask; the next pixel test builds it afresh.
void dropCollisionMask(Canvas& canvas);
// Notes that the pixels of r changed (the canvas's change hook).
void collisionMaskChanged(Canvas& canvas, const Rect& r);

// A frame placed at (x, y) covers x - handle x to x - handle x + width - 1.
struct Placed {
  std::int64_t left, top, width, height;
};
Placed placeFrame(const Canvas& frame, int x, int y);

// Half-open rectangles; touching edges do not overlap. Sizes are not checked
// for sign: the four comparisons alone decide.
bool rectanglesOverlap(const Placed& a, const Placed& b);

// 1 when some position inside both placed frames is solid in both.
bool framesCollide(Canvas& first, int x1, int y1, Canvas& second, int x2, int y2);
// 1 when a solid pixel of the placed frame lies inside the rectangle; an empty
// or negative rectangle holds none.
bool frameCollidesRect(Canvas& frame, int x, int y, int rx, int ry, int rw, int rh);

}  // namespace kr
