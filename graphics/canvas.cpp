#include "graphics/canvas.h"

#include <emmintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <vector>

namespace kr {

namespace {

std::atomic<std::size_t> gLiveStoreBytes{0};

// One canvas may not exceed this many bytes, whatever its sides: it keeps a
// 32-bit process clear of allocations that could only fail later.
constexpr std::uint64_t kMaxStoreBytes = 512ull << 20;

int narrow(std::int64_t v) { return static_cast<int>(v); }

// Games make and free frames of a megabyte or more all the time (transforms,
// loads, grabs). Left to the allocator's defaults each one is a fresh mapping
// whose every page faults on first touch, which costs more than the pixels'
// own work; kept in the heap, a freed store is reused warm.
void keepLargeStoresInTheHeap() {
  static const bool done = [] {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    return true;
  }();
  (void)done;
}

}  // namespace

void (*Canvas::collisionMaskRefresh)(Canvas&, const Rect&) = nullptr;
void (*Canvas::collisionMaskRelease)(CollisionMask*) = nullptr;

// ---- pixel stores ----

std::shared_ptr<PixelStore> PixelStore::create(int width, int height, const PixelFormat& format) {
  if (width < 1 || height < 1 || width > Canvas::kMaxSide || height > Canvas::kMaxSide) return nullptr;
  if (format.bytesPerPixel < 2) return nullptr;
  // Rows are padded to 4 bytes, as display memory rows are.
  std::uint64_t pitch = (static_cast<std::uint64_t>(width) * format.bytesPerPixel + 3) & ~3ull;
  std::uint64_t bytes = pitch * static_cast<std::uint64_t>(height);
  if (bytes > kMaxStoreBytes) return nullptr;
  keepLargeStoresInTheHeap();
  void* memory = nullptr;
  if (posix_memalign(&memory, 16, static_cast<std::size_t>(bytes)) != 0) return nullptr;
  std::memset(memory, 0, static_cast<std::size_t>(bytes));
  auto store = std::make_shared<PixelStore>();
  store->pixels = static_cast<std::uint8_t*>(memory);
  store->width = width;
  store->height = height;
  store->pitch = static_cast<int>(pitch);
  store->format = format;
  store->bytes = static_cast<std::size_t>(bytes);
  gLiveStoreBytes += store->bytes;
  return store;
}

PixelStore::~PixelStore() {
  gLiveStoreBytes -= bytes;
  std::free(pixels);
}

std::size_t PixelStore::liveBytes() { return gLiveStoreBytes.load(); }

// ---- rectangles ----

bool clipTo(const WideRect& r, const Rect& c, Rect* out) {
  std::int64_t l = std::max<std::int64_t>(r.left, c.left);
  std::int64_t t = std::max<std::int64_t>(r.top, c.top);
  std::int64_t rt = std::min<std::int64_t>(r.right, c.right);
  std::int64_t b = std::min<std::int64_t>(r.bottom, c.bottom);
  if (rt <= l || b <= t) return false;
  *out = Rect{narrow(l), narrow(t), narrow(rt), narrow(b)};
  return true;
}

bool clipPair(WideRect* r, WideRect* s, const Rect& c) {
  if (r->right <= r->left || r->bottom <= r->top) return false;
  if (r->left >= c.right || r->right <= c.left || r->top >= c.bottom || r->bottom <= c.top) return false;
  if (c.left > r->left) s->left += c.left - r->left, r->left = c.left;
  if (c.right < r->right) s->right -= r->right - c.right, r->right = c.right;
  if (c.top > r->top) s->top += c.top - r->top, r->top = c.top;
  if (c.bottom < r->bottom) s->bottom -= r->bottom - c.bottom, r->bottom = c.bottom;
  // An empty clip rectangle (a viewport set outside the canvas) lets nothing through.
  return r->right > r->left && r->bottom > r->top;
}

// ---- canvas record ----

Canvas::Canvas(GraphicsDevice* device, std::shared_ptr<PixelStore> store)
    : device_(device),
      store_(std::move(store)),
      pixels_(store_->pixels),
      pitch_(store_->pitch),
      format_(store_->format),
      bounds_{0, 0, store_->width, store_->height},
      viewport_(bounds_) {
  maskColour_ = format_.fromArgb(0);
  clearColour_ = format_.fromArgb(0);
  setColour(0xFFFFFFFF);
}

Canvas::~Canvas() {
  if (collisionMask_ && collisionMaskRelease) collisionMaskRelease(collisionMask_);
}

void Canvas::exchangePixels(Canvas& other) {
  std::swap(store_, other.store_);
  pixels_ = store_->pixels;
  pitch_ = store_->pitch;
  other.pixels_ = other.store_->pixels;
  other.pitch_ = other.store_->pitch;
}

void Canvas::setViewport(int x, int y, int width, int height) {
  WideRect r{x, y, static_cast<std::int64_t>(x) + width, static_cast<std::int64_t>(y) + height};
  if (!clipTo(r, bounds_, &viewport_)) viewport_ = Rect{};
}

void Canvas::resetView() {
  originX_ = originY_ = 0;
  viewport_ = bounds_;
}

// ---- pixels ----

static bool inside(const Rect& r, std::int64_t x, std::int64_t y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

std::uint32_t Canvas::readPixel(int x, int y) const {
  std::int64_t px = static_cast<std::int64_t>(x) + originX_, py = static_cast<std::int64_t>(y) + originY_;
  if (!inside(viewport_, px, py)) return maskColour();
  return format_.toArgb(loadPixel(address(narrow(px), narrow(py)), format_.depth));
}

void Canvas::writePixel(int x, int y, std::uint32_t argb) {
  std::int64_t px = static_cast<std::int64_t>(x) + originX_, py = static_cast<std::int64_t>(y) + originY_;
  if (!inside(viewport_, px, py)) return;
  int ix = narrow(px), iy = narrow(py);
  storePixel(address(ix, iy), format_.depth, format_.fromArgb(argb));
  changed(Rect{ix, iy, ix + 1, iy + 1});
}

std::uint32_t Canvas::readPixelFast(int x, int y) const {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(width()) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(height()))
    return 0;
  return format_.toArgb(loadPixel(address(x, y), format_.depth));
}

void Canvas::writePixelFast(int x, int y, std::uint32_t argb) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(width()) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(height()))
    return;
  storePixel(address(x, y), format_.depth, format_.fromArgb(argb));
  changed(Rect{x, y, x + 1, y + 1});
}

// ---- fills ----

namespace {

void fillRow32(std::uint32_t* p, int n, std::uint32_t v) {
  // Long runs: the processor's string store is as fast as memset's own loops.
  if (n >= 256) {
    asm volatile("rep stosl" : "+D"(p), "+c"(n) : "a"(v) : "memory");
    return;
  }
  while (n > 0 && (reinterpret_cast<std::uintptr_t>(p) & 15)) *p++ = v, --n;
  __m128i q = _mm_set1_epi32(static_cast<int>(v));
  for (; n >= 16; n -= 16, p += 16) {
    auto* d = reinterpret_cast<__m128i*>(p);
    _mm_store_si128(d, q);
    _mm_store_si128(d + 1, q);
    _mm_store_si128(d + 2, q);
    _mm_store_si128(d + 3, q);
  }
  for (; n >= 4; n -= 4, p += 4) _mm_store_si128(reinterpret_cast<__m128i*>(p), q);
  while (n-- > 0) *p++ = v;
}

void fillRow16(std::uint16_t* p, int n, std::uint16_t v) {
  while (n > 0 && (reinterpret_cast<std::uintptr_t>(p) & 15)) *p++ = v, --n;
  __m128i q = _mm_set1_epi16(static_cast<short>(v));
  for (; n >= 32; n -= 32, p += 32) {
    auto* d = reinterpret_cast<__m128i*>(p);
    _mm_store_si128(d, q);
    _mm_store_si128(d + 1, q);
    _mm_store_si128(d + 2, q);
    _mm_store_si128(d + 3, q);
  }
  for (; n >= 8; n -= 8, p += 8) _mm_store_si128(reinterpret_cast<__m128i*>(p), q);
  while (n-- > 0) *p++ = v;
}

// 24-bit rows: lay down one 48-byte period (16 pixels), then copy it along.
void fillRow24(std::uint8_t* p, int n, std::uint32_t v) {
  std::uint8_t pattern[48];
  for (int i = 0; i < 16; ++i) storePixel(pattern + 3 * i, 24, v);
  std::size_t bytes = static_cast<std::size_t>(n) * 3;
  for (; bytes >= 48; bytes -= 48, p += 48) std::memcpy(p, pattern, 48);
  std::memcpy(p, pattern, bytes);
}

bool uniformBytes(std::uint32_t v, int bytesPerPixel) {
  std::uint8_t b = v & 0xFF;
  for (int i = 1; i < bytesPerPixel; ++i)
    if (((v >> (8 * i)) & 0xFF) != b) return false;
  return true;
}

}  // namespace

void Canvas::fill(const Rect& r, std::uint32_t pixel) {
  int bpp = format_.bytesPerPixel;
  int rows = r.height(), count = r.width();
  std::uint8_t* row = address(r.left, r.top);
  // Whole rows of a tightly packed store are one run.
  if (count == width() && pitch_ == count * bpp) {
    count *= rows;
    rows = 1;
  }
  bool uniform = uniformBytes(pixel, bpp);
  for (int y = 0; y < rows; ++y, row += pitch_) {
    if (uniform)
      std::memset(row, static_cast<int>(pixel & 0xFF), static_cast<std::size_t>(count) * bpp);
    else if (bpp == 4)
      fillRow32(reinterpret_cast<std::uint32_t*>(row), count, pixel);
    else if (bpp == 2)
      fillRow16(reinterpret_cast<std::uint16_t*>(row), count, static_cast<std::uint16_t>(pixel));
    else
      fillRow24(row, count, pixel);
  }
}

// ---- blits ----

namespace {

// Source pixels whose colour bits equal the key leave the destination as it is.
void maskRow32(std::uint32_t* d, const std::uint32_t* s, int n, std::uint32_t key, std::uint32_t bits) {
  const __m128i k = _mm_set1_epi32(static_cast<int>(key));
  const __m128i m = _mm_set1_epi32(static_cast<int>(bits));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    __m128i skip = _mm_cmpeq_epi32(_mm_and_si128(sv, m), k);
    int bitsSet = _mm_movemask_epi8(skip);
    if (bitsSet == 0xFFFF) continue;
    auto* dp = reinterpret_cast<__m128i*>(d + i);
    if (bitsSet == 0) {
      _mm_storeu_si128(dp, sv);
      continue;
    }
    __m128i dv = _mm_loadu_si128(dp);
    _mm_storeu_si128(dp, _mm_or_si128(_mm_and_si128(skip, dv), _mm_andnot_si128(skip, sv)));
  }
  for (; i < n; ++i)
    if ((s[i] & bits) != key) d[i] = s[i];
}

void maskRow16(std::uint16_t* d, const std::uint16_t* s, int n, std::uint16_t key, std::uint16_t bits) {
  const __m128i k = _mm_set1_epi16(static_cast<short>(key));
  const __m128i m = _mm_set1_epi16(static_cast<short>(bits));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    __m128i skip = _mm_cmpeq_epi16(_mm_and_si128(sv, m), k);
    int bitsSet = _mm_movemask_epi8(skip);
    if (bitsSet == 0xFFFF) continue;
    auto* dp = reinterpret_cast<__m128i*>(d + i);
    __m128i dv = _mm_loadu_si128(dp);
    _mm_storeu_si128(dp, _mm_or_si128(_mm_and_si128(skip, dv), _mm_andnot_si128(skip, sv)));
  }
  for (; i < n; ++i)
    if ((s[i] & bits) != key) d[i] = s[i];
}

void maskRow24(std::uint8_t* d, const std::uint8_t* s, int n, std::uint32_t key, std::uint32_t bits) {
  for (int i = 0; i < n; ++i, d += 3, s += 3) {
    std::uint32_t v = loadPixel(s, 24);
    if ((v & bits) != key) storePixel(d, 24, v);
  }
}

}  // namespace

void Canvas::blit(int x, int y, const Canvas& source, int sx, int sy, int width, int height, bool solid) {
  std::int64_t left = static_cast<std::int64_t>(x) + originX_ - source.handleX_;
  std::int64_t top = static_cast<std::int64_t>(y) + originY_ - source.handleY_;
  WideRect d{left, top, left + width, top + height};
  WideRect s{sx, sy, static_cast<std::int64_t>(sx) + width, static_cast<std::int64_t>(sy) + height};
  if (!clipPair(&d, &s, viewport_) || !clipPair(&s, &d, source.bounds_)) return;
  Rect to{narrow(d.left), narrow(d.top), narrow(d.right), narrow(d.bottom)};
  if (source.format_ == format_)
    copyRows(to, source, narrow(s.left), narrow(s.top), solid);
  else
    copyConverted(to, source, narrow(s.left), narrow(s.top), solid);
  changed(to);
}

void Canvas::copyRows(const Rect& to, const Canvas& source, int sx, int sy, bool solid) {
  const int bpp = format_.bytesPerPixel;
  const std::size_t rowBytes = static_cast<std::size_t>(to.width()) * bpp;
  int rows = to.height();
  const bool sameMemory = source.pixels_ == pixels_;
  // Scrolling within one store: walk the rows away from the overlap.
  const bool upwards = sameMemory && to.top > sy;
  std::vector<std::uint8_t> scratch;
  if (!solid && sameMemory) scratch.resize(rowBytes);
  const std::uint32_t bits = format_.colourBits();
  const std::uint32_t key = source.maskColour_ & bits;
  // Whole rows of two tightly packed stores are one block.
  if (solid && to.width() == width() && to.width() == source.width() && pitch_ == static_cast<int>(rowBytes) &&
      source.pitch_ == pitch_) {
    std::memmove(address(0, to.top), source.address(0, sy), rowBytes * rows);
    return;
  }
  for (int i = 0; i < rows; ++i) {
    int row = upwards ? rows - 1 - i : i;
    std::uint8_t* d = address(to.left, to.top + row);
    const std::uint8_t* s = source.address(sx, sy + row);
    if (solid) {
      std::memmove(d, s, rowBytes);
      continue;
    }
    if (sameMemory) {
      std::memcpy(scratch.data(), s, rowBytes);
      s = scratch.data();
    }
    if (bpp == 4)
      maskRow32(reinterpret_cast<std::uint32_t*>(d), reinterpret_cast<const std::uint32_t*>(s), to.width(), key, bits);
    else if (bpp == 2)
      maskRow16(reinterpret_cast<std::uint16_t*>(d), reinterpret_cast<const std::uint16_t*>(s), to.width(),
                static_cast<std::uint16_t>(key), static_cast<std::uint16_t>(bits));
    else
      maskRow24(d, s, to.width(), key, bits);
  }
}

// Canvases of two formats (rare: only across displays of different depths).
void Canvas::copyConverted(const Rect& to, const Canvas& source, int sx, int sy, bool solid) {
  const PixelFormat& sf = source.format_;
  const std::uint32_t key = source.maskColour_ & sf.colourBits();
  for (int row = 0; row < to.height(); ++row) {
    const std::uint8_t* s = source.address(sx, sy + row);
    std::uint8_t* d = address(to.left, to.top + row);
    for (int i = 0; i < to.width(); ++i, s += sf.bytesPerPixel, d += format_.bytesPerPixel) {
      std::uint32_t v = loadPixel(s, sf.depth);
      if (!solid && (v & sf.colourBits()) == key) continue;
      storePixel(d, format_.depth, format_.fromArgb(sf.toArgb(v)));
    }
  }
}

// ---- BMP ----

namespace {

void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = v & 0xFF;
  p[1] = (v >> 8) & 0xFF;
}
void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, v & 0xFFFF);
  put16(p + 2, v >> 16);
}

}  // namespace

bool Canvas::saveBmp(const char* path) const {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const int w = width(), h = height();
  const std::uint32_t rowSize = ((static_cast<std::uint32_t>(w) + 1) * 3) & ~3u;
  std::uint8_t header[54] = {'B', 'M'};
  put32(header + 2, h * rowSize + 54);
  put32(header + 10, 54);
  put32(header + 14, 40);
  put32(header + 18, static_cast<std::uint32_t>(w));
  put32(header + 22, static_cast<std::uint32_t>(h));
  put16(header + 26, 1);
  put16(header + 28, 24);
  bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
  std::vector<std::uint8_t> row(rowSize, 0);
  for (int y = h - 1; ok && y >= 0; --y) {
    const std::uint8_t* p = address(0, y);
    for (int x = 0; x < w; ++x, p += format_.bytesPerPixel) {
      std::uint32_t argb = format_.toArgb(loadPixel(p, format_.depth));
      row[3 * x] = argb & 0xFF;
      row[3 * x + 1] = (argb >> 8) & 0xFF;
      row[3 * x + 2] = (argb >> 16) & 0xFF;
    }
    ok = std::fwrite(row.data(), 1, rowSize, f) == rowSize;
  }
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

}  // namespace kr
