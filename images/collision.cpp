#include "images/collision.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace kr {

namespace {

void releaseMask(CollisionMask* mask) { delete mask; }

void installHooks() {
  Canvas::collisionMaskRefresh = collisionMaskChanged;
  Canvas::collisionMaskRelease = releaseMask;
}

// 16 pixels of a 32-bit row as 16 bits, column 0 lowest; set where the
// colour bits equal the key.
int keyedHalf32(const std::uint8_t* p, __m128i bits, __m128i key) {
  auto keyed = [&](int at) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    return _mm_cmpeq_epi32(_mm_and_si128(v, bits), key);
  };
  __m128i low = _mm_packs_epi32(keyed(0), keyed(16)), high = _mm_packs_epi32(keyed(32), keyed(48));
  return _mm_movemask_epi8(_mm_packs_epi16(low, high));
}

// Any format, 16 columns from firstColumn; columns at and past the width give 0.
std::uint32_t solidHalf(const Canvas& c, int y, int firstColumn, std::uint32_t bits, std::uint32_t key) {
  const PixelFormat& f = c.format();
  int count = std::min(16, c.width() - firstColumn);
  const std::uint8_t* p = c.address(firstColumn, y);
  std::uint32_t half = 0;
  for (int j = 0; j < count; ++j, p += f.bytesPerPixel)
    if ((loadPixel(p, f.depth) & bits) != key) half |= 1u << j;
  return half;
}

// Half word h of a row holds columns 16h to 16h + 15 (the words are little-endian).
void storeHalf(std::uint32_t* row, int h, std::uint32_t bits16) {
  auto v = static_cast<std::uint16_t>(bits16);
  std::memcpy(reinterpret_cast<std::uint8_t*>(row) + 2 * h, &v, 2);
}

// Recomputes the bits under r (inside the canvas).
void rebuild(Canvas& canvas, CollisionMask* mask, const Rect& clipped) {
  const std::uint32_t bits = canvas.format().colourBits();
  const std::uint32_t key = canvas.maskPixel() & bits;
  // Only the 16-column halves the change touched are rebuilt; those that hold
  // 16 columns of a 32-bit row go the fast way.
  const int firstHalf = clipped.left / 16, endHalf = (clipped.right + 15) / 16;
  const int fastEnd = canvas.format().bytesPerPixel == 4 ? std::min(endHalf, canvas.width() / 16) : firstHalf;
  const __m128i bitsV = _mm_set1_epi32(static_cast<int>(bits)), keyV = _mm_set1_epi32(static_cast<int>(key));
  for (int y = clipped.top; y < clipped.bottom; ++y) {
    std::uint32_t* row = mask->row(y);
    const std::uint8_t* p = canvas.address(16 * firstHalf, y);
    for (int h = firstHalf; h < fastEnd; ++h, p += 64) storeHalf(row, h, ~keyedHalf32(p, bitsV, keyV));
    for (int h = std::max(firstHalf, fastEnd); h < endHalf; ++h) storeHalf(row, h, solidHalf(canvas, y, 16 * h, bits, key));
  }
}

Rect boundingBox(const Rect& a, const Rect& b) {
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

}  // namespace

void collisionMaskChanged(Canvas& canvas, const Rect& r) {
  CollisionMask* mask = canvas.collisionMask();
  Rect clipped;
  if (!mask || !clipTo(WideRect{r.left, r.top, r.right, r.bottom}, canvas.bounds(), &clipped)) return;
  if (mask->pendingCount == CollisionMask::kMaxPending) {
    for (int i = 1; i < mask->pendingCount; ++i) mask->pending[0] = boundingBox(mask->pending[0], mask->pending[i]);
    mask->pendingCount = 1;
  }
  mask->pending[mask->pendingCount++] = clipped;
}

const CollisionMask& collisionMaskOf(Canvas& canvas) {
  if (CollisionMask* mask = canvas.collisionMask()) {
    for (int i = 0; i < mask->pendingCount; ++i) rebuild(canvas, mask, mask->pending[i]);
    mask->pendingCount = 0;
    return *mask;
  }
  installHooks();
  auto* mask = new CollisionMask;
  mask->wordsPerRow = canvas.maskWordsPerRow();
  try {
    mask->words.assign(static_cast<std::size_t>(mask->wordsPerRow) * canvas.height(), 0);
  } catch (...) {
    delete mask;
    throw;
  }
  canvas.setCollisionMask(mask);
  rebuild(canvas, mask, canvas.bounds());
  return *mask;
}

void dropCollisionMask(Canvas& canvas) {
  delete canvas.collisionMask();
  canvas.setCollisionMask(nullptr);
}

Placed placeFrame(const Canvas& frame, int x, int y) {
  return Placed{static_cast<std::int64_t>(x) - frame.handleX(), static_cast<std::int64_t>(y) - frame.handleY(),
                frame.width(), frame.height()};
}

bool rectanglesOverlap(const Placed& a, const Placed& b) {
  return !(a.left + a.width <= b.left || a.left >= b.left + b.width || a.top + a.height <= b.top ||
           a.top >= b.top + b.height);
}

bool framesCollide(Canvas& first, int x1, int y1, Canvas& second, int x2, int y2) {
  const Placed a = placeFrame(first, x1, y1), b = placeFrame(second, x2, y2);
  if (!rectanglesOverlap(a, b)) return false;
  const CollisionMask& maskA = collisionMaskOf(first);
  const CollisionMask& maskB = collisionMaskOf(second);
  // L is the frame further left (the first one on a tie); R's words are shifted
  // onto L's, towards higher columns (higher bits).
  const bool firstIsLeft = a.left <= b.left;
  const Placed& L = firstIsLeft ? a : b;
  const Placed& R = firstIsLeft ? b : a;
  const CollisionMask& maskL = firstIsLeft ? maskA : maskB;
  const CollisionMask& maskR = firstIsLeft ? maskB : maskA;
  const int d = static_cast<int>(R.left - L.left);  // below L's width after the overlap test
  const int s = d % 32, w0 = d / 32;
  const int e = static_cast<int>(std::min(L.left + L.width, R.left + R.width) - L.left - 1);
  const int n = e / 32 - w0;
  const std::uint32_t endMask = 0xFFFFFFFFu >> (31 - e % 32);
  const std::int64_t top = std::max(L.top, R.top), bottom = std::min(L.top + L.height, R.top + R.height);
  for (std::int64_t y = top; y < bottom; ++y) {
    const std::uint32_t* rowL = maskL.row(static_cast<int>(y - L.top)) + w0;
    const std::uint32_t* rowR = maskR.row(static_cast<int>(y - R.top));
    std::uint32_t carry = 0;
    for (int i = 0; i < n; ++i) {
      if (((rowR[i] << s) | carry) & rowL[i]) return true;
      carry = s ? rowR[i] >> (32 - s) : 0;
    }
    // The last word of R may lie past its row when only the carry reaches L.
    std::uint32_t last = n < maskR.wordsPerRow ? rowR[n] : 0;
    if (((last << s) | carry) & rowL[n] & endMask) return true;
  }
  return false;
}

bool frameCollidesRect(Canvas& frame, int x, int y, int rx, int ry, int rw, int rh) {
  if (rw <= 0 || rh <= 0) return false;
  const Placed f = placeFrame(frame, x, y), r{rx, ry, rw, rh};
  if (!rectanglesOverlap(f, r)) return false;
  const CollisionMask& mask = collisionMaskOf(frame);
  const int c0 = static_cast<int>(std::max(r.left, f.left) - f.left);
  const int c1 = static_cast<int>(std::min(r.left + r.width, f.left + f.width) - f.left - 1);
  const int k0 = c0 / 32, k1 = c1 / 32;
  std::uint32_t firstMask = 0xFFFFFFFFu << (c0 % 32);
  const std::uint32_t lastMask = 0xFFFFFFFFu >> (31 - c1 % 32);
  if (k0 == k1) firstMask &= lastMask;
  const std::int64_t top = std::max(r.top, f.top), bottom = std::min(f.top + f.height, r.top + r.height);
  for (std::int64_t row = top; row < bottom; ++row) {
    const std::uint32_t* words = mask.row(static_cast<int>(row - f.top));
    if (words[k0] & firstMask) return true;
    for (int k = k0 + 1; k < k1; ++k)
      if (words[k]) return true;
    if (k1 > k0 && (words[k1] & lastMask)) return true;
  }
  return false;
}

}  // namespace kr
