// Buffer commands (current buffer, pixels, locking, saving) and the drawing
// commands that work on the current buffer.
#include <string>

#include "files/file_paths.h"
#include "files/files_state.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "lang/kr_string.h"
#include "runtime/errors.h"

namespace kr {
namespace gfx {

namespace {

Canvas* current() { return graphicsState().buffer; }

// Colour components are combined unmasked: a component above 255 spills into
// the next channel up.
std::uint32_t combine(int red, int green, int blue) {
  return (static_cast<std::uint32_t>(red) << 16) | (static_cast<std::uint32_t>(green) << 8) |
         static_cast<std::uint32_t>(blue);
}


}  // namespace

void setBuffer(int buffer) {
  if (Canvas* c = bufferArgument(buffer, true)) selectBuffer(c);
}

int graphicsBuffer() { return current() ? current()->handle() : 0; }

int saveBuffer(int buffer, krString* file) {
  // A name past the longest path is copied only that far and then fails to resolve.
  std::string name = files::takePath(file), path;
  Canvas* c = bufferArgument(buffer, true);
  return c && resolveProgramPath(name, path) && c->saveBmp(path.c_str()) ? 1 : 0;
}

void lockBuffer(int buffer) {
  if (Canvas* c = bufferArgument(buffer, true)) c->lock();
}

void unlockBuffer(int buffer) {
  if (Canvas* c = bufferArgument(buffer, true)) c->unlock();
}

int readPixel(int x, int y, int buffer) {
  Canvas* c = bufferArgument(buffer, true);
  return c ? static_cast<int>(c->readPixel(x, y)) : 0;
}

void writePixel(int x, int y, int argb, int buffer) {
  if (Canvas* c = bufferArgument(buffer, true)) c->writePixel(x, y, static_cast<std::uint32_t>(argb));
}

int readPixelFast(int x, int y, int buffer) {
  Canvas* c = bufferArgument(buffer, false);
  return c ? static_cast<int>(c->readPixelFast(x, y)) : 0;
}

void writePixelFast(int x, int y, int argb, int buffer) {
  if (Canvas* c = bufferArgument(buffer, false)) c->writePixelFast(x, y, static_cast<std::uint32_t>(argb));
}

void origin(int x, int y) {
  if (Canvas* c = current()) c->setOrigin(x, y);
}

void viewport(int x, int y, int width, int height) {
  if (Canvas* c = current()) c->setViewport(x, y, width, height);
}

void color(int red, int green, int blue) {
  graphicsState().colour = combine(red, green, blue);
  if (Canvas* c = current()) c->setColour(graphicsState().colour);
}

void getColor(int x, int y) {
  Canvas* c = current();
  if (!c) return;
  graphicsState().colour = c->readPixel(x, y);
  c->setColour(graphicsState().colour);
}

int colorRed() { return current() ? static_cast<int>((current()->colour() >> 16) & 0xFF) : 0; }
int colorGreen() { return current() ? static_cast<int>((current()->colour() >> 8) & 0xFF) : 0; }
int colorBlue() { return current() ? static_cast<int>(current()->colour() & 0xFF) : 0; }

void clsColor(int red, int green, int blue) {
  graphicsState().clearColour = combine(red, green, blue);
  if (Canvas* c = current()) c->setClearColour(graphicsState().clearColour);
}

void cls() {
  if (Canvas* c = current()) c->clear();
}

void plot(int x, int y) {
  if (Canvas* c = current()) c->plot(x, y);
}

void line(int x1, int y1, int x2, int y2) {
  if (Canvas* c = current()) c->line(x1, y1, x2, y2);
}

void rect(int x, int y, int width, int height, int solid) {
  if (Canvas* c = current()) c->rectangle(x, y, width, height, solid != 0);
}

void oval(int x, int y, int width, int height, int solid) {
  if (Canvas* c = current()) c->oval(x, y, width, height, solid != 0);
}

}  // namespace gfx
}  // namespace kr
