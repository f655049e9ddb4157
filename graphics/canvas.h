// Canvas: a rectangle of pixels in one pixel format with the drawing state the
// commands use (origin, viewport, handle, colours, font, collision mask).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "graphics/pixel_format.h"
#include "runtime/handles.h"

namespace kr {

class GraphicsDevice;
struct Font;           // text drawing
struct CollisionMask;  // pixel-exact collisions

// Right and bottom are exclusive; empty when right <= left or bottom <= top.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// The pixel memory behind one or more canvases (a window's front and back
// canvas share one store).
struct PixelStore {
  std::uint8_t* pixels = nullptr;
  int width = 0, height = 0, pitch = 0;
  PixelFormat format;
  std::size_t bytes = 0;

  // Null when the size is out of range or memory runs out. Pixels start 0.
  static std::shared_ptr<PixelStore> create(int width, int height, const PixelFormat& format);
  ~PixelStore();
  // Bytes of every live store, for the video memory figures.
  static std::size_t liveBytes();
};

class Canvas {
 public:
  static constexpr int kMaxSide = 16384;

  Canvas(GraphicsDevice* device, std::shared_ptr<PixelStore> store);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  int handle() const { return toHandle(this); }
  GraphicsDevice* device() const { return device_; }
  int width() const { return bounds_.right; }
  int height() const { return bounds_.bottom; }
  int depth() const { return format_.depth; }
  const PixelFormat& format() const { return format_; }
  const Rect& bounds() const { return bounds_; }
  PixelStore& store() const { return *store_; }
  // Full-screen page flipping: the two canvases exchange their pixel memory.
  void exchangePixels(Canvas& other);

  // Locks nest; the memory is always addressable, the count is what callers see.
  void lock() { ++lockCount_; }
  void unlock() {
    if (lockCount_ > 0) --lockCount_;
  }
  int lockCount() const { return lockCount_; }
  std::uint8_t* pixels() const { return pixels_; }
  int pitch() const { return pitch_; }
  std::uint8_t* address(int x, int y) const {
    return pixels_ + static_cast<std::ptrdiff_t>(pitch_) * y + format_.bytesPerPixel * x;
  }

  // Drawing state.
  int originX() const { return originX_; }
  int originY() const { return originY_; }
  void setOrigin(int x, int y) { originX_ = x, originY_ = y; }
  int handleX() const { return handleX_; }
  int handleY() const { return handleY_; }
  void setHandle(int x, int y) { handleX_ = x, handleY_ = y; }
  const Rect& viewport() const { return viewport_; }
  void setViewport(int x, int y, int width, int height);
  void resetView();  // origin (0, 0), viewport the bounds

  void setColour(std::uint32_t argb) { colour_ = format_.fromArgb(argb); }
  std::uint32_t colour() const { return format_.toArgb(colour_); }
  std::uint32_t colourPixel() const { return colour_; }
  void setClearColour(std::uint32_t argb) { clearColour_ = format_.fromArgb(argb); }
  std::uint32_t clearColour() const { return format_.toArgb(clearColour_); }
  void setMaskColour(std::uint32_t argb) { maskColour_ = format_.fromArgb(argb); }
  std::uint32_t maskColour() const { return format_.toArgb(maskColour_); }
  std::uint32_t maskPixel() const { return maskColour_; }
  Font* font() const { return font_; }
  void setFont(Font* font) { font_ = font; }

  // Raised by every pixel change. Read by the refresh timer thread as well.
  std::uint32_t modificationCount() const { return modCount_.load(std::memory_order_relaxed); }
  void setModificationCount(std::uint32_t n) { modCount_.store(n, std::memory_order_relaxed); }

  CollisionMask* collisionMask() const { return collisionMask_; }
  void setCollisionMask(CollisionMask* mask) { collisionMask_ = mask; }
  int maskWordsPerRow() const { return (width() + 31) / 32; }

  // Pixel access through origin and viewport; outside, reads give the mask colour.
  std::uint32_t readPixel(int x, int y) const;
  void writePixel(int x, int y, std::uint32_t argb);
  // Canvas coordinates only; calls outside the canvas read 0 and write nothing.
  std::uint32_t readPixelFast(int x, int y) const;
  void writePixelFast(int x, int y, std::uint32_t argb);

  // Copies width x height pixels from (sx, sy) of source to (x, y) here, through
  // this canvas's origin and the source's handle, clipped to this viewport and
  // the source's bounds. Masked: source pixels equal to its mask colour are skipped.
  void blit(int x, int y, const Canvas& source, int sx, int sy, int width, int height, bool solid);

  // Drawing primitives in the canvas colours.
  void clear();
  void plot(int x, int y);
  void line(int x1, int y1, int x2, int y2);
  void rectangle(int x, int y, int width, int height, bool solid);
  void oval(int x, int y, int width, int height, bool solid);

  // Fills r (already inside the canvas) with a pixel value, without counting.
  void fill(const Rect& r, std::uint32_t pixel);

  // A 24-bit bottom-up BMP of the whole canvas; false when the file could not be
  // opened or fully written.
  bool saveBmp(const char* path) const;

  // Every pixel-changing operation ends here.
  void changed(const Rect& r) {
    modCount_.store(modCount_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    if (collisionMask_ && collisionMaskRefresh) collisionMaskRefresh(*this, r);
  }
  // Set by the collision code: brings a canvas's mask up to date over r.
  static void (*collisionMaskRefresh)(Canvas& canvas, const Rect& r);
  // Set by the collision code: frees a mask when its canvas goes.
  static void (*collisionMaskRelease)(CollisionMask* mask);

 private:
  void copyRows(const Rect& to, const Canvas& source, int sx, int sy, bool solid);
  void copyConverted(const Rect& to, const Canvas& source, int sx, int sy, bool solid);

  GraphicsDevice* device_;
  std::shared_ptr<PixelStore> store_;
  std::uint8_t* pixels_;
  int pitch_;
  PixelFormat format_;
  Rect bounds_;
  std::atomic<std::uint32_t> modCount_{0};
  int lockCount_ = 0;
  CollisionMask* collisionMask_ = nullptr;
  Font* font_ = nullptr;
  Rect viewport_;
  int originX_ = 0, originY_ = 0;
  int handleX_ = 0, handleY_ = 0;
  std::uint32_t maskColour_ = 0, colour_ = 0, clearColour_ = 0;
};

// Clips r to c; false (r untouched) when nothing is left. Works in 64 bits so
// rectangles built from any 32-bit coordinates and sizes are safe.
struct WideRect {
  std::int64_t left, top, right, bottom;
};
bool clipTo(const WideRect& r, const Rect& c, Rect* out);

// Clips a destination rectangle against c, moving the equal-sized source along.
bool clipPair(WideRect* dst, WideRect* src, const Rect& c);

}  // namespace kr
