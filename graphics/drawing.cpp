// The drawing primitives: clear, plot, line, rectangle and oval. Every one but
// clear works through the origin, and none changes a pixel outside the viewport.
#include <emmintrin.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "graphics/canvas.h"

namespace kr {

namespace {

// Fills the part of r inside v; nothing when they do not meet.
void fillClipped(Canvas& c, const WideRect& r, const Rect& v, std::uint32_t pixel) {
  Rect clipped;
  if (clipTo(r, v, &clipped)) c.fill(clipped, pixel);
}

// (a * b + c) / d and its remainder for non-negative a, b, c < d whose product
// may exceed 64 bits (far end points): a is taken bit by bit.
void divideProduct(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d, std::int64_t* quotient,
                   std::int64_t* remainder) {
  std::uint64_t q = 0, r = 0;
  const auto ub = static_cast<std::uint64_t>(b), ud = static_cast<std::uint64_t>(d);
  for (int bit = 62; bit >= 0; --bit) {
    q <<= 1, r <<= 1;
    if (r >= ud) r -= ud, ++q;
    if ((a >> bit) & 1) {
      r += ub;
      q += r / ud, r %= ud;
    }
  }
  r += static_cast<std::uint64_t>(c);
  if (r >= ud) r -= ud, ++q;
  *quotient = static_cast<std::int64_t>(q);
  *remainder = static_cast<std::int64_t>(r);
}

}  // namespace

void Canvas::clear() {
  if (viewport_.empty()) return;
  fill(viewport_, clearColour_);
  changed(viewport_);
}

void Canvas::plot(int x, int y) {
  std::int64_t px = static_cast<std::int64_t>(x) + originX_, py = static_cast<std::int64_t>(y) + originY_;
  if (px < viewport_.left || px >= viewport_.right || py < viewport_.top || py >= viewport_.bottom) return;
  int ix = static_cast<int>(px), iy = static_cast<int>(py);
  storePixel(address(ix, iy), format_.depth, colour_);
  changed(Rect{ix, iy, ix + 1, iy + 1});
}

void Canvas::rectangle(int x, int y, int width, int height, bool solid) {
  if (width <= 0 || height <= 0) return;
  const std::int64_t X = static_cast<std::int64_t>(x) + originX_, Y = static_cast<std::int64_t>(y) + originY_;
  const std::int64_t R = X + width, B = Y + height;
  Rect clipped;
  if (!clipTo(WideRect{X, Y, R, B}, viewport_, &clipped)) return;
  if (solid) {
    fill(clipped, colour_);
  } else {
    // Bands come from the unclipped rectangle: edges outside the viewport vanish.
    fillClipped(*this, WideRect{X, Y, R, Y + 1}, viewport_, colour_);
    fillClipped(*this, WideRect{X, Y, X + 1, B}, viewport_, colour_);
    fillClipped(*this, WideRect{R - 1, Y, R, B}, viewport_, colour_);
    fillClipped(*this, WideRect{X, B - 1, R, B}, viewport_, colour_);
  }
  changed(clipped);
}

// A single-pixel line: the first point is drawn, the last is not. Each step
// along the major axis sets one pixel whose minor coordinate is the exact one
// rounded half away from the start. Only the steps whose major coordinate lies
// in the clip rectangle are walked, so far-away end points cost nothing.
void Canvas::line(int x1, int y1, int x2, int y2) {
  const std::int64_t ax = static_cast<std::int64_t>(x1) + originX_, ay = static_cast<std::int64_t>(y1) + originY_;
  const std::int64_t bx = static_cast<std::int64_t>(x2) + originX_, by = static_cast<std::int64_t>(y2) + originY_;
  Rect clip;
  if (!clipTo(WideRect{std::min(ax, bx), std::min(ay, by), std::max(ax, bx) + 1, std::max(ay, by) + 1},
              viewport_, &clip))
    return;
  const std::int64_t dx = std::llabs(bx - ax), dy = std::llabs(by - ay);
  const bool xMajor = dx >= dy;
  const std::int64_t steps = xMajor ? dx : dy;  // pixels drawn: the end point is left out
  const std::int64_t minorDelta = xMajor ? dy : dx;
  const int majorSign = (xMajor ? bx >= ax : by >= ay) ? 1 : -1;
  const int minorSign = (xMajor ? by >= ay : bx >= ax) ? 1 : -1;
  const std::int64_t majorStart = xMajor ? ax : ay, minorStart = xMajor ? ay : ax;
  const std::int64_t majorLo = xMajor ? clip.left : clip.top, majorHi = xMajor ? clip.right : clip.bottom;
  const std::int64_t minorLo = xMajor ? clip.top : clip.left, minorHi = xMajor ? clip.bottom : clip.right;
  if (steps > 0) {
    // Steps i with majorStart + sign * i inside [majorLo, majorHi).
    std::int64_t first, last;
    if (majorSign > 0) {
      first = std::max<std::int64_t>(0, majorLo - majorStart);
      last = std::min<std::int64_t>(steps - 1, majorHi - 1 - majorStart);
    } else {
      first = std::max<std::int64_t>(0, majorStart - (majorHi - 1));
      last = std::min<std::int64_t>(steps - 1, majorStart - majorLo);
    }
    // Minor offset at step i is floor((2 i minorDelta + steps) / (2 steps)).
    const std::int64_t twoSteps = 2 * steps, twoDelta = 2 * minorDelta;
    std::int64_t offset, rest;
    divideProduct(first, twoDelta, steps, twoSteps, &offset, &rest);
    const int bpp = format_.bytesPerPixel;
    for (std::int64_t i = first; i <= last; ++i) {
      std::int64_t major = majorStart + majorSign * i;
      std::int64_t minor = minorStart + minorSign * offset;
      if (minor >= minorLo && minor < minorHi) {
        int px = static_cast<int>(xMajor ? major : minor), py = static_cast<int>(xMajor ? minor : major);
        storePixel(pixels_ + static_cast<std::ptrdiff_t>(pitch_) * py + bpp * px, format_.depth, colour_);
      }
      rest += twoDelta;
      while (rest >= twoSteps) rest -= twoSteps, ++offset;
    }
  }
  changed(clip);
}

// ---- oval ----

namespace {

// Single-precision arithmetic done in SSE registers, so the rows come out the
// same whatever precision the x87 unit is set to.
struct OvalRows {
  __m128 cx, cy, ry2, ratio;

  static __m128 f(float v) { return _mm_set_ss(v); }
  // Saturates beyond the int range: a huge oval's far edge must not wrap around.
  static int floorToInt(__m128 v) {
    if (_mm_comige_ss(v, f(2147483648.0f))) return INT_MAX;
    if (!_mm_comige_ss(v, f(-2147483648.0f))) return INT_MIN;
    int t = _mm_cvtt_ss2si(v);
    if (_mm_comilt_ss(v, _mm_cvtsi32_ss(v, t))) --t;
    return t;
  }
  // Edges of the row at distance d from the centre line. Far from the origin
  // float rounding can put d beyond the radius: that row is a point, not NaN.
  void edges(__m128 d, int* xl, int* xr) const {
    __m128 span = _mm_max_ss(_mm_sub_ss(ry2, _mm_mul_ss(d, d)), f(0.0f));
    __m128 t = _mm_mul_ss(_mm_sqrt_ss(span), ratio);
    *xl = floorToInt(_mm_sub_ss(cx, t));
    *xr = floorToInt(_mm_add_ss(cx, t));
  }
  __m128 distance(int row) const { return _mm_sub_ss(_mm_cvtsi32_ss(f(0), row), cy); }
};

}  // namespace

void Canvas::oval(int x, int y, int width, int height, bool solid) {
  if (width <= 0 || height <= 0) return;
  const std::int64_t X = static_cast<std::int64_t>(x) + originX_, Y = static_cast<std::int64_t>(y) + originY_;
  Rect clipped;
  if (!clipTo(WideRect{X, Y, X + width, Y + height}, viewport_, &clipped)) return;
  // Spans stay inside the oval's own box too, which float rounding of huge
  // ovals could otherwise overstep; within the float range nothing changes.
  const Rect v = clipped;
  OvalRows o;
  const __m128 half = OvalRows::f(0.5f);
  const __m128 ry = _mm_mul_ss(_mm_cvtsi32_ss(half, height), half);
  o.ratio = _mm_div_ss(_mm_cvtsi32_ss(half, width), _mm_cvtsi32_ss(half, height));
  // X and Y may lie beyond 32 bits only when far outside; the float sees them rounded anyway.
  const __m128 fx = _mm_set_ss(static_cast<float>(static_cast<double>(X)));
  const __m128 fy = _mm_set_ss(static_cast<float>(static_cast<double>(Y)));
  o.cx = _mm_add_ss(_mm_add_ss(fx, _mm_mul_ss(_mm_cvtsi32_ss(half, width), half)), half);
  o.cy = _mm_sub_ss(_mm_add_ss(fy, ry), half);
  o.ry2 = _mm_mul_ss(ry, ry);
  const __m128 one = OvalRows::f(1.0f);
  int xl, xr;
  if (solid) {
    __m128 d = o.distance(clipped.top);
    for (int r = clipped.top; r < clipped.bottom; ++r, d = _mm_add_ss(d, one)) {
      o.edges(d, &xl, &xr);
      if (xr > xl && xl < v.right && xr > v.left) fill(Rect{std::max(xl, v.left), r, std::min(xr, v.right), r + 1}, colour_);
    }
  } else {
    const int mid = OvalRows::floorToInt(o.cy);
    const int c = _mm_cvtt_ss2si(o.cx);
    auto pieces = [&](int r, int prevL, int prevR) {
      fillClipped(*this, WideRect{xl, r, std::max<std::int64_t>(prevL, xl + 1LL), r + 1}, v, colour_);
      fillClipped(*this, WideRect{std::min<std::int64_t>(prevR, xr - 1LL), r, xr, r + 1}, v, colour_);
    };
    // Rows below the viewport cannot show and do not feed the rows above them.
    int r = clipped.top > Y ? clipped.top - 1 : clipped.top;
    int prevL = c, prevR = c;
    for (__m128 d = o.distance(r); r <= mid && r < v.bottom; ++r, d = _mm_add_ss(d, one)) {
      o.edges(d, &xl, &xr);
      pieces(r, prevL, prevR);
      prevL = xl, prevR = xr;
    }
    r = clipped.bottom < Y + height ? clipped.bottom : clipped.bottom - 1;
    prevL = prevR = c;
    for (__m128 d = o.distance(r); r > mid && r >= v.top; --r, d = _mm_sub_ss(d, one)) {
      o.edges(d, &xl, &xr);
      pieces(r, prevL, prevR);
      prevL = xl, prevR = xr;
    }
  }
  changed(clipped);
}

}  // namespace kr
