#include "images/transform.h"

#include <emmintrin.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace kr {

namespace {

// Mapped corners this close to a whole pixel are taken as on it: factors such
// as 30 / 100 in single precision would otherwise add a row or column.
constexpr float kSnap = 1.0f / 256;

float snapped(float v) {
  float whole = std::nearbyint(v);
  return std::fabs(v - whole) <= kSnap ? whole : v;
}

// Whole-number floats that fit an int (the limit keeps trunc safe).
bool fitsInt(float v) { return std::isfinite(v) && std::fabs(v) < 2147483520.0f; }

std::uint32_t argbAt(const Canvas& s, int x, int y, std::uint32_t outside) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(s.width()) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(s.height()))
    return outside;
  return s.format().toArgb(loadPixel(s.address(x, y), s.depth()));
}

// floor of four floats; values that are NaN or far outside every canvas come
// out as INT_MIN or INT_MAX, which no bounds test accepts.
__m128i floor4(__m128 v) {
  __m128i t = _mm_cvttps_epi32(v);
  __m128i above = _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(t), v));
  return _mm_add_epi32(t, above);
}

struct Sampler {
  const Canvas& source;
  const TransformPlan& plan;
  std::uint32_t maskArgb;
  std::uint32_t maskPixel;
};

// Source positions (relative to the source's top-left) of destination pixels
// i..i+3 of row j.
void sourcePositions(const TransformPlan& p, int i, float py, __m128* sx, __m128* sy) {
  const __m128 px = _mm_add_ps(_mm_set1_ps(p.minX + 0.5f), _mm_cvtepi32_ps(_mm_setr_epi32(i, i + 1, i + 2, i + 3)));
  const __m128 r = _mm_set1_ps(p.inverse);
  const __m128 cy = _mm_set1_ps(p.c * py), ay = _mm_set1_ps(p.a * py);
  __m128 qx = _mm_mul_ps(r, _mm_sub_ps(_mm_mul_ps(_mm_set1_ps(p.d), px), cy));
  __m128 qy = _mm_mul_ps(r, _mm_sub_ps(ay, _mm_mul_ps(_mm_set1_ps(p.b), px)));
  *sx = _mm_add_ps(qx, _mm_set1_ps(static_cast<float>(p.sourceHandleX)));
  *sy = _mm_add_ps(qy, _mm_set1_ps(static_cast<float>(p.sourceHandleY)));
}

// True for the 32-bit store whose pixels are 0x00RRGGBB words.
bool isXrgb(const PixelFormat& f) {
  return f.depth == 32 && f.mask[PixelFormat::kRed] == 0xFF0000 && f.mask[PixelFormat::kGreen] == 0xFF00 &&
         f.mask[PixelFormat::kBlue] == 0xFF;
}

void nearestRow(const Sampler& s, std::uint8_t* out, int j, int width) {
  const Canvas& src = s.source;
  const PixelFormat& f = src.format();
  const float py = s.plan.minY + 0.5f + static_cast<float>(j);
  const std::uint32_t bits = f.colourBits();
  alignas(16) std::int32_t xs[4], ys[4];
  for (int i = 0; i < width; i += 4) {
    __m128 sx, sy;
    sourcePositions(s.plan, i, py, &sx, &sy);
    _mm_store_si128(reinterpret_cast<__m128i*>(xs), floor4(sx));
    _mm_store_si128(reinterpret_cast<__m128i*>(ys), floor4(sy));
    for (int k = 0; k < 4 && i + k < width; ++k, out += f.bytesPerPixel) {
      std::uint32_t v = s.maskPixel;
      if (static_cast<unsigned>(xs[k]) < static_cast<unsigned>(src.width()) &&
          static_cast<unsigned>(ys[k]) < static_cast<unsigned>(src.height()))
        v = loadPixel(src.address(xs[k], ys[k]), f.depth) & bits;
      storePixel(out, f.depth, v);
    }
  }
}

// Scales without rotation or shear (b and c zero): a destination column always
// reads the same source column and a row the same source row, so both are
// worked out once with the very arithmetic of the general path.
void nearestAxisAligned(const Sampler& s, Canvas& target) {
  const Canvas& src = s.source;
  const PixelFormat& f = src.format();
  const TransformPlan& p = s.plan;
  const std::uint32_t bits = f.colourBits();
  std::vector<std::int32_t> columns(static_cast<std::size_t>(p.width) + 3), rows(static_cast<std::size_t>(p.height) + 3);
  const float firstRow = p.minY + 0.5f;
  for (int i = 0; i < p.width; i += 4) {
    __m128 sx, sy;
    sourcePositions(p, i, firstRow, &sx, &sy);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&columns[i]), floor4(sx));
  }
  for (int j = 0; j < p.height; ++j) {
    __m128 sx, sy;
    sourcePositions(p, 0, p.minY + 0.5f + static_cast<float>(j), &sx, &sy);
    rows[j] = _mm_cvtsi128_si32(floor4(sy));
  }
  const unsigned w = static_cast<unsigned>(src.width()), h = static_cast<unsigned>(src.height());
  // Columns run one way across the row, so those inside the source are one span.
  int spanStart = 0, spanEnd = 0;
  for (int i = 0; i < p.width; ++i)
    if (static_cast<unsigned>(columns[i]) < w) {
      if (spanEnd == 0) spanStart = i;
      spanEnd = i + 1;
    }
  for (int i = spanStart; i < spanEnd; ++i)
    if (static_cast<unsigned>(columns[i]) >= w) spanStart = spanEnd = 0;  // not one span after all
  for (int j = 0; j < p.height; ++j) {
    std::uint8_t* out = target.address(0, j);
    if (j > 0 && rows[j] == rows[j - 1]) {  // the same source row: the same pixels
      std::memcpy(out, target.address(0, j - 1), static_cast<std::size_t>(p.width) * f.bytesPerPixel);
      continue;
    }
    if (static_cast<unsigned>(rows[j]) >= h) {
      for (int i = 0; i < p.width; ++i, out += f.bytesPerPixel) storePixel(out, f.depth, s.maskPixel);
      continue;
    }
    const std::uint8_t* in = src.address(0, rows[j]);
    if (f.bytesPerPixel == 4) {
      auto* o = reinterpret_cast<std::uint32_t*>(out);
      const auto* r = reinterpret_cast<const std::uint32_t*>(in);
      if (spanEnd > spanStart) {
        for (int i = 0; i < spanStart; ++i) o[i] = s.maskPixel;
        for (int i = spanStart; i < spanEnd; ++i) o[i] = r[columns[i]] & bits;
        for (int i = spanEnd; i < p.width; ++i) o[i] = s.maskPixel;
        continue;
      }
      for (int i = 0; i < p.width; ++i) {
        const unsigned x = static_cast<unsigned>(columns[i]);
        o[i] = x < w ? r[x] & bits : s.maskPixel;
      }
      continue;
    }
    for (int i = 0; i < p.width; ++i, out += f.bytesPerPixel) {
      const unsigned x = static_cast<unsigned>(columns[i]);
      storePixel(out, f.depth, x < w ? loadPixel(in + x * f.bytesPerPixel, f.depth) & bits : s.maskPixel);
    }
  }
}

__m128 channels(std::uint32_t argb) {
  __m128i v = _mm_cvtsi32_si128(static_cast<int>(argb));
  v = _mm_unpacklo_epi8(v, _mm_setzero_si128());
  v = _mm_unpacklo_epi16(v, _mm_setzero_si128());
  return _mm_cvtepi32_ps(v);
}

// The four neighbours of (x0, y0) as ARGB, the mask colour outside the source.
void neighbours(const Sampler& s, int x0, int y0, std::uint32_t c[4]) {
  const std::uint32_t m = s.maskArgb;
  c[0] = argbAt(s.source, x0, y0, m), c[1] = argbAt(s.source, x0 + 1, y0, m);
  c[2] = argbAt(s.source, x0 + 1, y0 + 1, m), c[3] = argbAt(s.source, x0, y0 + 1, m);
}

// Bilinear samples of four destination pixels at once: the neighbours are
// weighted in a fixed order, each channel rounded by adding one half and
// truncating; alpha comes out 0. Positions far outside every canvas (or not
// numbers) give the mask colour.
void bilinearRow(const Sampler& s, Canvas& target, int j, int width) {
  const PixelFormat& f = target.format();
  const bool xrgb = isXrgb(s.source.format()), xrgbOut = isXrgb(f);
  std::uint8_t* out = target.address(0, j);
  const float py = s.plan.minY + 0.5f + static_cast<float>(j);
  const __m128 half = _mm_set1_ps(0.5f), one = _mm_set1_ps(1.0f), limit = _mm_set1_ps(1e8f);
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  alignas(16) float weights[4][4];
  alignas(16) std::int32_t xs[4], ys[4], valid[4];
  for (int i = 0; i < width; i += 4) {
    __m128 sx, sy;
    sourcePositions(s.plan, i, py, &sx, &sy);
    __m128 fx = _mm_sub_ps(sx, half), fy = _mm_sub_ps(sy, half);
    __m128 ok = _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(fx, magnitude), limit), _mm_cmplt_ps(_mm_and_ps(fy, magnitude), limit));
    fx = _mm_and_ps(fx, ok), fy = _mm_and_ps(fy, ok);
    __m128i x0 = floor4(fx), y0 = floor4(fy);
    __m128 tx = _mm_sub_ps(fx, _mm_cvtepi32_ps(x0)), ty = _mm_sub_ps(fy, _mm_cvtepi32_ps(y0));
    __m128 ux = _mm_sub_ps(one, tx), uy = _mm_sub_ps(one, ty);
    _mm_store_ps(weights[0], _mm_mul_ps(ux, uy));
    _mm_store_ps(weights[1], _mm_mul_ps(tx, uy));
    _mm_store_ps(weights[2], _mm_mul_ps(tx, ty));
    _mm_store_ps(weights[3], _mm_mul_ps(ux, ty));
    _mm_store_si128(reinterpret_cast<__m128i*>(xs), x0);
    _mm_store_si128(reinterpret_cast<__m128i*>(ys), y0);
    _mm_store_si128(reinterpret_cast<__m128i*>(valid), _mm_castps_si128(ok));
    for (int k = 0; k < 4 && i + k < width; ++k, out += f.bytesPerPixel) {
      std::uint32_t argb = s.maskArgb & 0xFFFFFF;
      if (valid[k]) {
        __m128 c00, c10, c11, c01;
        if (xrgb && static_cast<unsigned>(xs[k]) < static_cast<unsigned>(s.source.width() - 1) &&
            static_cast<unsigned>(ys[k]) < static_cast<unsigned>(s.source.height() - 1)) {
          // Inside: each row's two neighbours are one 8-byte load (the alpha
          // lane is computed and dropped).
          const __m128i zero = _mm_setzero_si128();
          __m128i top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s.source.address(xs[k], ys[k])));
          __m128i bottom = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s.source.address(xs[k], ys[k] + 1)));
          top = _mm_unpacklo_epi8(top, zero), bottom = _mm_unpacklo_epi8(bottom, zero);
          c00 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(top, zero)), c10 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(top, zero));
          c01 = _mm_cvtepi32_ps(_mm_unpacklo_epi16(bottom, zero));
          c11 = _mm_cvtepi32_ps(_mm_unpackhi_epi16(bottom, zero));
        } else {
          std::uint32_t c[4];
          neighbours(s, xs[k], ys[k], c);
          c00 = channels(c[0]), c10 = channels(c[1]), c11 = channels(c[2]), c01 = channels(c[3]);
        }
        __m128 sum = _mm_mul_ps(_mm_set1_ps(weights[0][k]), c00);
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(weights[1][k]), c10));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(weights[2][k]), c11));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(weights[3][k]), c01));
        __m128i v = _mm_cvttps_epi32(_mm_add_ps(sum, half));
        v = _mm_packs_epi32(v, v);
        argb = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v))) & 0xFFFFFF;
      }
      storePixel(out, f.depth, xrgbOut ? argb : f.fromArgb(argb));
    }
  }
}

// Nearest sampling into a canvas of another format converts each pixel.
void nearestRowConverted(const Sampler& s, Canvas& target, int j, int width) {
  const TransformPlan& p = s.plan;
  const PixelFormat& f = target.format();
  std::uint8_t* out = target.address(0, j);
  const float py = p.minY + 0.5f + static_cast<float>(j);
  for (int i = 0; i < width; ++i, out += f.bytesPerPixel) {
    const float px = p.minX + 0.5f + static_cast<float>(i);
    const float qx = p.inverse * (p.d * px - p.c * py), qy = p.inverse * (p.a * py - p.b * px);
    const float fx = std::floor(qx + static_cast<float>(p.sourceHandleX));
    const float fy = std::floor(qy + static_cast<float>(p.sourceHandleY));
    std::uint32_t argb = s.maskArgb;
    if (std::fabs(fx) < 1e8f && std::fabs(fy) < 1e8f)
      argb = argbAt(s.source, static_cast<int>(fx), static_cast<int>(fy), s.maskArgb);
    storePixel(out, f.depth, f.fromArgb(argb));
  }
}

}  // namespace

TransformPlan planTransform(int width, int height, int handleX, int handleY, float a, float b, float c, float d) {
  TransformPlan p;
  p.a = a, p.b = b, p.c = c, p.d = d;
  p.sourceHandleX = handleX, p.sourceHandleY = handleY;
  const float det = a * d - b * c;
  p.inverse = 1.0f / det;
  if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d) || det == 0.0f ||
      !std::isfinite(det) || !std::isfinite(p.inverse))
    return p;
  // Handles may be any int: the corners are formed in 64 bits.
  const float left = static_cast<float>(-static_cast<std::int64_t>(handleX));
  const float right = static_cast<float>(static_cast<std::int64_t>(width) - handleX);
  const float top = static_cast<float>(-static_cast<std::int64_t>(handleY));
  const float bottom = static_cast<float>(static_cast<std::int64_t>(height) - handleY);
  const float cx[4] = {left, right, right, left};
  const float cy[4] = {top, top, bottom, bottom};
  float lowX = INFINITY, lowY = INFINITY, highX = -INFINITY, highY = -INFINITY;
  for (int k = 0; k < 4; ++k) {
    const float x = snapped(a * cx[k] + c * cy[k]), y = snapped(b * cx[k] + d * cy[k]);
    lowX = std::fmin(lowX, x), highX = std::fmax(highX, x);
    lowY = std::fmin(lowY, y), highY = std::fmax(highY, y);
  }
  p.minX = std::floor(lowX), p.minY = std::floor(lowY);
  const float maxX = std::ceil(highX), maxY = std::ceil(highY);
  if (!fitsInt(p.minX) || !fitsInt(p.minY) || !fitsInt(maxX) || !fitsInt(maxY)) return p;
  const float w = maxX - p.minX, h = maxY - p.minY;
  if (!(w >= 1 && h >= 1 && w <= Canvas::kMaxSide && h <= Canvas::kMaxSide)) return p;
  p.width = static_cast<int>(w), p.height = static_cast<int>(h);
  p.handleX = static_cast<int>(-p.minX), p.handleY = static_cast<int>(-p.minY);
  p.valid = true;
  return p;
}

void renderTransform(const Canvas& source, Canvas& target, const TransformPlan& plan, bool filter) {
  const Sampler s{source, plan, source.maskColour(), source.maskPixel() & source.format().colourBits()};
  const bool sameFormat = source.format() == target.format();
  if (!filter && sameFormat && plan.b == 0 && plan.c == 0) {
    nearestAxisAligned(s, target);
    return;
  }
  for (int j = 0; j < plan.height; ++j) {
    if (filter)
      bilinearRow(s, target, j, plan.width);
    else if (sameFormat)
      nearestRow(s, target.address(0, j), j, plan.width);
    else
      nearestRowConverted(s, target, j, plan.width);
  }
}

}  // namespace kr
