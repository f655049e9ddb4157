// Images: sequences of equally sized frame canvases with handles and mask
// colours, loaded, created, grabbed, drawn, tiled, tested for collisions and
// transformed. Handles are checked against the registry in every mode; only
// with debugging on does a bad one raise an error, otherwise it does nothing.
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "files/file_paths.h"
#include "files/files_state.h"
#include "graphics/graphics_state.h"
#include "images/collision.h"
#include "images/images_commands.h"
#include "images/picture_loading.h"
#include "images/transform.h"
#include "lang/kr_string.h"
#include "runtime/errors.h"

namespace kr {

struct Image {
  std::vector<Canvas*> frames;
};

namespace img {

namespace {

struct ImageState {
  HandleRegistry<Image> images;
  bool autoMidHandle = false;
  bool filter = true;
};

ImageState gState;

// A guess at what one canvas costs beyond its pixels; with it, requests for
// millions of frames are refused before the first is made.
constexpr std::uint64_t kCanvasOverhead = 512;
constexpr std::uint64_t kAllFramesBudget = 1ull << 30;

GraphicsDevice* device() { return graphicsState().device; }
Canvas* current() { return graphicsState().buffer; }

std::uint32_t combine(int red, int green, int blue) {
  return (((static_cast<std::uint32_t>(red) << 8) | static_cast<std::uint32_t>(green)) << 8) |
         static_cast<std::uint32_t>(blue);
}

Image* findImage(int handle) {
  Image* image = gState.images.find(handle);
  if (!image && debugFlag) raiseRuntimeError("Image does not exist");
  return image;
}

// The image check: the frame of a live image, else null (or the error).
Canvas* frameOf(int handle, int frame) {
  Image* image = findImage(handle);
  if (!image) return nullptr;
  if (static_cast<unsigned>(frame) >= image->frames.size()) {
    if (debugFlag) raiseRuntimeError("Image frame out of range");
    return nullptr;
  }
  return image->frames[static_cast<unsigned>(frame)];
}

// Frees canvases; the current buffer falls back to the front buffer first.
void freeCanvases(const std::vector<Canvas*>& canvases) {
  GraphicsDevice* dev = device();
  if (!dev) return;
  for (Canvas* c : canvases) {
    if (current() == c) selectBuffer(dev->front());
    dev->freeCanvas(c);
  }
}

void destroyImage(Image* image) {
  freeCanvases(image->frames);
  delete image;
}

void releaseAllImages() { gState.images.clear(destroyImage); }

// Registers frames as a new image; frees them when even that fails.
int registerImage(std::vector<Canvas*>& frames) {
  Image* image = nullptr;
  try {
    image = new Image{std::move(frames)};
    gState.images.insert(image);
  } catch (const std::bad_alloc&) {
    if (image) frames = std::move(image->frames);
    delete image;
    freeCanvases(frames);
    raiseRuntimeError("Out of memory");
  }
  return toHandle(image);
}

bool framesFit(int width, int height, std::int64_t count) {
  GraphicsDevice* dev = device();
  if (!dev || width < 1 || height < 1 || width > Canvas::kMaxSide || height > Canvas::kMaxSide) return false;
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height * dev->front()->format().bytesPerPixel;
  return (pixels + kCanvasOverhead) * static_cast<std::uint64_t>(count) <= kAllFramesBudget;
}

// Temporarily zeroes a canvas's handle (as a blit source) or origin (as a
// destination), so a copy lands at plain canvas coordinates.
class HandleAtZero {
 public:
  explicit HandleAtZero(Canvas& c) : c_(c), x_(c.handleX()), y_(c.handleY()) { c.setHandle(0, 0); }
  ~HandleAtZero() { c_.setHandle(x_, y_); }

 private:
  Canvas& c_;
  int x_, y_;
};

class OriginAtZero {
 public:
  explicit OriginAtZero(Canvas& c) : c_(c), x_(c.originX()), y_(c.originY()) { c.setOrigin(0, 0); }
  ~OriginAtZero() { c_.setOrigin(x_, y_); }

 private:
  Canvas& c_;
  int x_, y_;
};

void midHandleOf(Canvas& c) { c.setHandle(c.width() / 2, c.height() / 2); }

void drawFrame(int image, int x, int y, int frame, bool solid) {
  Canvas* f = frameOf(image, frame);
  Canvas* to = current();
  if (f && to) to->blit(x, y, *f, 0, 0, f->width(), f->height(), solid);
}

void drawFrameRect(int image, int x, int y, int rx, int ry, int rw, int rh, int frame, bool solid) {
  Canvas* f = frameOf(image, frame);
  Canvas* to = current();
  if (f && to) to->blit(x, y, *f, rx, ry, rw, rh, solid);
}

// First tile position on one axis: the grid through `at` that starts at or
// before the viewport's edge, relative to that edge (0 to size).
std::int64_t tileStart(std::int64_t at, std::int64_t base, std::int64_t size) {
  std::int64_t d = at - base;
  return d >= 0 ? d % size : size - (-d) % size;
}

// Tiles cover the viewport with one tile's handle point landing on (x, y).
// Positions are worked out in 64 bits and the tiles placed in canvas
// coordinates, so no origin, handle or offset can wrap.
void tileFrame(int image, int x, int y, int frame, bool solid) {
  Canvas* f = frameOf(image, frame);
  Canvas* to = current();
  if (!f || !to) return;
  const Rect v = to->viewport();
  if (v.empty()) return;
  const std::int64_t w = f->width(), h = f->height();
  const std::int64_t startX = tileStart(x, static_cast<std::int64_t>(v.left) - to->originX() + f->handleX(), w);
  const std::int64_t startY = tileStart(y, static_cast<std::int64_t>(v.top) - to->originY() + f->handleY(), h);
  HandleAtZero handle(*f);
  OriginAtZero origin(*to);
  for (std::int64_t ty = startY - h; ty < v.height(); ty += h)
    for (std::int64_t tx = startX - w; tx < v.width(); tx += w)
      to->blit(static_cast<int>(v.left + tx), static_cast<int>(v.top + ty), *f, 0, 0, f->width(), f->height(),
               solid);
}

// Builds every new frame before replacing any: a degenerate matrix or a
// canvas that cannot be made leaves the image as it was.
void transformImage(Image& image, float a, float b, float c, float d) {
  GraphicsDevice* dev = device();
  if (!dev) return;
  // Frames past the budget CreateImage keeps leave the image as it was, at once
  // (a scale by -720 of 38 small frames asked for 2 GB and seconds of drawing).
  if (!image.frames.empty()) {
    const Canvas* first = image.frames.front();
    TransformPlan plan = planTransform(first->width(), first->height(), 0, 0, a, b, c, d);
    if (!plan.valid || !framesFit(plan.width, plan.height, static_cast<std::int64_t>(image.frames.size()))) return;
  }
  std::vector<Canvas*> made;
  try {
    made.reserve(image.frames.size());
  } catch (const std::bad_alloc&) {
    raiseRuntimeError("Out of memory");
  }
  for (Canvas* old : image.frames) {
    TransformPlan plan = planTransform(old->width(), old->height(), old->handleX(), old->handleY(), a, b, c, d);
    Canvas* fresh = plan.valid ? dev->createCanvas(plan.width, plan.height) : nullptr;
    if (!fresh) {
      freeCanvases(made);
      return;
    }
    renderTransform(*old, *fresh, plan, gState.filter);
    fresh->setHandle(plan.handleX, plan.handleY);
    fresh->setMaskColour(old->maskColour());
    made.push_back(fresh);
  }
  for (std::size_t i = 0; i < made.size(); ++i) {
    freeCanvases({image.frames[i]});
    image.frames[i] = made[i];
  }
}

}  // namespace

void init() {
  static bool hooked = false;
  if (!hooked) addDisplayReleaseHook(releaseAllImages);
  hooked = true;
  releaseAllImages();
  gState.autoMidHandle = false;
  gState.filter = true;
}

// ---- images and frames ----

int loadImage(krString* file) {
  std::string name = files::takePath(file);
  GraphicsDevice* dev = device();
  Canvas* canvas = dev ? loadPictureCanvas(*dev, name) : nullptr;
  if (!canvas) return 0;
  if (gState.autoMidHandle) midHandleOf(*canvas);
  std::vector<Canvas*> frames{canvas};
  return registerImage(frames);
}

int copyImage(int image) {
  if (!frameOf(image, 0)) return 0;
  const std::vector<Canvas*>& sources = gState.images.find(image)->frames;
  std::vector<Canvas*> copies;
  copies.reserve(sources.size());
  for (Canvas* source : sources) {
    Canvas* copy = device()->createCanvas(source->width(), source->height());
    if (!copy) {
      freeCanvases(copies);
      return 0;
    }
    {
      HandleAtZero atZero(*source);
      copy->blit(0, 0, *source, 0, 0, source->width(), source->height(), true);
    }
    copy->setHandle(source->handleX(), source->handleY());
    copy->setMaskColour(source->maskColour());
    copies.push_back(copy);
  }
  return registerImage(copies);
}

int createImage(int width, int height, int frames) {
  GraphicsDevice* dev = device();
  if (!dev) return 0;
  std::vector<Canvas*> made;
  if (frames > 0) {
    if (!framesFit(width, height, frames)) return 0;
    try {
      made.reserve(static_cast<std::size_t>(frames));
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  for (int i = 0; i < frames; ++i) {
    Canvas* c = dev->createCanvas(width, height);
    if (!c) {
      freeCanvases(made);
      return 0;
    }
    if (gState.autoMidHandle) midHandleOf(*c);
    made.push_back(c);
  }
  return registerImage(made);
}

int loadAnimImage(krString* file, int cellWidth, int cellHeight, int first, int count) {
  std::string name = files::takePath(file);
  if (count < 1) raiseRuntimeError("Illegal frame count");
  if (first < 0) raiseRuntimeError("Illegal first frame");
  GraphicsDevice* dev = device();
  Canvas* strip = dev ? loadPictureCanvas(*dev, name) : nullptr;
  if (!strip) return 0;
  if (cellWidth == 0 || cellHeight == 0) {
    freeCanvases({strip});
    raiseRuntimeError("Integer divide by zero");
  }
  const std::int64_t across = strip->width() / cellWidth, rows = strip->height() / cellHeight;
  if (across * rows < static_cast<std::int64_t>(first) + count) {
    freeCanvases({strip});
    raiseRuntimeError("Not enough frames in bitmap");
  }
  std::vector<Canvas*> frames;
  bool reserved = framesFit(cellWidth, cellHeight, count);
  try {
    if (reserved) frames.reserve(static_cast<std::size_t>(count) + 1);
  } catch (const std::bad_alloc&) {
    reserved = false;
  }
  if (!reserved) {
    freeCanvases({strip});
    return 0;
  }
  std::int64_t x = (first % across) * cellWidth, y = (first / across) * cellHeight;
  for (int i = 0; i < count; ++i) {
    Canvas* c = dev->createCanvas(cellWidth, cellHeight);
    if (!c) {
      frames.push_back(strip);
      freeCanvases(frames);
      return 0;
    }
    c->blit(0, 0, *strip, static_cast<int>(x), static_cast<int>(y), cellWidth, cellHeight, true);
    if (gState.autoMidHandle) midHandleOf(*c);
    frames.push_back(c);
    x += cellWidth;
    if (strip->width() < x + cellWidth) x = 0, y += cellHeight;
  }
  freeCanvases({strip});
  return registerImage(frames);
}

void freeImage(int image) {
  if (Image* taken = gState.images.take(image)) destroyImage(taken);
}

int saveImage(int image, krString* file, int frame) {
  std::string name = files::takePath(file), path;
  Canvas* f = frameOf(image, frame);
  return f && resolveProgramPath(name, path) && f->saveBmp(path.c_str()) ? 1 : 0;
}

void grabImage(int image, int x, int y, int frame) {
  Canvas* f = frameOf(image, frame);
  Canvas* from = current();
  if (!f || !from) return;
  f->setViewport(0, 0, f->width(), f->height());
  const std::int64_t sx = static_cast<std::int64_t>(x) + from->originX() - f->handleX();
  const std::int64_t sy = static_cast<std::int64_t>(y) + from->originY() - f->handleY();
  // A frame grabbed from is read from its own (0, 0), whatever its handle.
  HandleAtZero atZero(*from);
  // Sources far outside every canvas copy nothing; keep them in int range.
  if (sx <= -Canvas::kMaxSide - f->width() || sx >= Canvas::kMaxSide || sy <= -Canvas::kMaxSide - f->height() ||
      sy >= Canvas::kMaxSide)
    return;
  f->blit(0, 0, *from, static_cast<int>(sx), static_cast<int>(sy), f->width(), f->height(), true);
}

int imageBuffer(int image, int frame) {
  Canvas* f = frameOf(image, frame);
  return f ? f->handle() : 0;
}

void drawImage(int image, int x, int y, int frame) { drawFrame(image, x, y, frame, false); }
void drawBlock(int image, int x, int y, int frame) { drawFrame(image, x, y, frame, true); }
void tileImage(int image, int x, int y, int frame) { tileFrame(image, x, y, frame, false); }
void tileBlock(int image, int x, int y, int frame) { tileFrame(image, x, y, frame, true); }

void drawImageRect(int image, int x, int y, int rectX, int rectY, int rectWidth, int rectHeight, int frame) {
  drawFrameRect(image, x, y, rectX, rectY, rectWidth, rectHeight, frame, false);
}

void drawBlockRect(int image, int x, int y, int rectX, int rectY, int rectWidth, int rectHeight, int frame) {
  drawFrameRect(image, x, y, rectX, rectY, rectWidth, rectHeight, frame, true);
}

// Collision masks follow the new colour: they are rebuilt when next needed.
void maskImage(int image, int red, int green, int blue) {
  if (!frameOf(image, 0)) return;
  for (Canvas* f : gState.images.find(image)->frames) {
    f->setMaskColour(combine(red, green, blue));
    dropCollisionMask(*f);
  }
}

void handleImage(int image, int x, int y) {
  if (!frameOf(image, 0)) return;
  for (Canvas* f : gState.images.find(image)->frames) f->setHandle(x, y);
}

void midHandle(int image) {
  if (!frameOf(image, 0)) return;
  for (Canvas* f : gState.images.find(image)->frames) midHandleOf(*f);
}

void autoMidHandle(int enable) { gState.autoMidHandle = enable != 0; }

int imageWidth(int image) {
  Canvas* f = frameOf(image, 0);
  return f ? f->width() : 0;
}

int imageHeight(int image) {
  Canvas* f = frameOf(image, 0);
  return f ? f->height() : 0;
}

int imageXHandle(int image) {
  Canvas* f = frameOf(image, 0);
  return f ? f->handleX() : 0;
}

int imageYHandle(int image) {
  Canvas* f = frameOf(image, 0);
  return f ? f->handleY() : 0;
}

// ---- collisions ----

namespace {

template <class Test>
int collisionResult(Test test) {
  try {
    return test() ? 1 : 0;
  } catch (const std::bad_alloc&) {
    raiseRuntimeError("Out of memory");
  }
}

}  // namespace

int imagesOverlap(int image1, int x1, int y1, int image2, int x2, int y2) {
  Canvas* a = frameOf(image1, 0);
  Canvas* b = frameOf(image2, 0);
  return a && b && rectanglesOverlap(placeFrame(*a, x1, y1), placeFrame(*b, x2, y2)) ? 1 : 0;
}

int imagesCollide(int image1, int x1, int y1, int frame1, int image2, int x2, int y2, int frame2) {
  Canvas* a = frameOf(image1, frame1);
  Canvas* b = frameOf(image2, frame2);
  if (!a || !b) return 0;
  return collisionResult([&] { return framesCollide(*a, x1, y1, *b, x2, y2); });
}

int rectsOverlap(int x1, int y1, int width1, int height1, int x2, int y2, int width2, int height2) {
  return rectanglesOverlap(Placed{x1, y1, width1, height1}, Placed{x2, y2, width2, height2}) ? 1 : 0;
}

int imageRectOverlap(int image, int x, int y, int rectX, int rectY, int rectWidth, int rectHeight) {
  Canvas* f = frameOf(image, 0);
  return f && rectanglesOverlap(placeFrame(*f, x, y), Placed{rectX, rectY, rectWidth, rectHeight}) ? 1 : 0;
}

int imageRectCollide(int image, int x, int y, int frame, int rectX, int rectY, int rectWidth, int rectHeight) {
  Canvas* f = frameOf(image, frame);
  if (!f) return 0;
  return collisionResult([&] { return frameCollidesRect(*f, x, y, rectX, rectY, rectWidth, rectHeight); });
}

// ---- transforms ----

void tFormImage(int image, float a, float b, float c, float d) {
  if (!frameOf(image, 0)) return;
  transformImage(*gState.images.find(image), a, b, c, d);
}

void scaleImage(int image, float xScale, float yScale) { tFormImage(image, xScale, 0, 0, yScale); }

void resizeImage(int image, float width, float height) {
  Canvas* f = frameOf(image, 0);
  if (!f) return;
  const float a = width / static_cast<float>(f->width()), d = height / static_cast<float>(f->height());
  tFormImage(image, a, 0, 0, d);
}

void rotateImage(int image, float angle) {
  if (!frameOf(image, 0)) return;
  const float r = -(angle * 0.017453292f);
  const float cosine = std::cos(r), sine = std::sin(r);
  tFormImage(image, cosine, -sine, sine, cosine);
}

void tFormFilter(int enable) { gState.filter = enable != 0; }

// ---- pictures into buffers ----

int loadBuffer(int buffer, krString* file) {
  std::string name = files::takePath(file);
  Canvas* to = bufferArgument(buffer, true);
  GraphicsDevice* dev = device();
  if (!to || !dev) return 0;
  Canvas* loaded = loadPictureCanvas(*dev, name);
  if (!loaded) return 0;
  const float a = static_cast<float>(to->width()) / static_cast<float>(loaded->width());
  const float d = static_cast<float>(to->height()) / static_cast<float>(loaded->height());
  TransformPlan plan = planTransform(loaded->width(), loaded->height(), 0, 0, a, 0, 0, d);
  Canvas* scaled = plan.valid ? dev->createCanvas(plan.width, plan.height) : nullptr;
  if (scaled) renderTransform(*loaded, *scaled, plan, gState.filter);
  freeCanvases({loaded});
  if (!scaled) return 0;
  {
    OriginAtZero atZero(*to);
    to->blit(0, 0, *scaled, 0, 0, scaled->width(), scaled->height(), true);
  }
  freeCanvases({scaled});
  return 1;
}

}  // namespace img
}  // namespace kr
