// Font and text commands: loading and choosing fonts, drawing and measuring text.
#include <climits>
#include <new>
#include <string>
#include <sys/stat.h>

#include "files/file_paths.h"
#include "graphics/font.h"
#include "graphics/font_engine.h"
#include "graphics/graphics_state.h"
#include "graphics/text_commands.h"
#include "lang/kr_string.h"
#include "runtime/errors.h"

namespace kr {
namespace gfx {

namespace {

// The font a handle names, or null; "Font does not exist" when debugging.
Font* checkedFont(int handle) {
  Font* font = fonts::registered(handle);
  if (!font && debugFlag) raiseRuntimeError("Font does not exist");
  return font;
}

Font* currentFont() { return fonts::live(graphicsState().font); }

// A name with a '.' is also a font file beside the game. It is added when it
// is one; the face is then the part before the first '.', or the file's own
// family when nothing is installed under that part.
std::string faceFromFile(const std::string& name) {
  std::string face = name.substr(0, name.find('.'));
  std::string path, family;
  if (resolveProgramPath(name, path) && fontengine::addFontFile(path, &family)) {
    fonts::noteAddedFile();
    if (!fontengine::haveFamily(face)) face = family;
  }
  return face;
}

int clampToInt(std::int64_t v) { return static_cast<int>(std::max<std::int64_t>(INT_MIN, std::min<std::int64_t>(INT_MAX, v))); }

}  // namespace

namespace {

int loadFontOrZero(krString* nameArg, int height, int bold, int italic, int underline) {
  std::string name = krStringTake(nameArg);
  GraphicsDevice* device = graphicsState().device;
  // 0 asks for the usual height; a negative one means its size.
  if (height == 0) height = 12;
  if (height < 0) height = height == INT_MIN ? INT_MAX : -height;
  if (!device || height > kMaxFontHeight || name.find('\0') != std::string::npos) return 0;
  std::string face = name.find('.') == std::string::npos ? name : faceFromFile(name);
  std::unique_ptr<Font> font = kr::loadFont(device, face, height, bold != 0, italic != 0, underline != 0);
  return font ? toHandle(fonts::add(std::move(font))) : 0;
}

}  // namespace

int loadFont(krString* name, int height, int bold, int italic, int underline) {
  try {
    return loadFontOrZero(name, height, bold, italic, underline);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

void freeFont(int handle) {
  Font* font = checkedFont(handle);
  if (!font) return;
  GraphicsState& g = graphicsState();
  if (g.font == font) {
    g.font = nullptr;
    if (g.buffer) g.buffer->setFont(nullptr);
  }
  fonts::free(font);
}

void setFont(int handle) {
  Font* font = checkedFont(handle);
  if (!font) return;
  GraphicsState& g = graphicsState();
  g.font = font;
  if (g.buffer) g.buffer->setFont(font);
}

void text(int x, int y, krString* string, int centreX, int centreY) {
  GraphicsState& g = graphicsState();
  Font* font = currentFont();
  Font* drawn = g.buffer ? fonts::live(g.buffer->font()) : nullptr;
  if (font && drawn) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(krStringData(string));
    const std::size_t length = krStringLength(string);
    std::int64_t left = x, top = y;
    if (centreX) left -= font->width(bytes, length) / 2;
    if (centreY) top -= font->height / 2;
    drawText(*g.buffer, *drawn, left, top, bytes, length);
  }
  krStringDelete(string);
}

int fontWidth() { return 8; }

int fontHeight() {
  Font* font = currentFont();
  return font ? font->height : 0;
}

int stringWidth(krString* string) {
  Font* font = currentFont();
  int width = font ? clampToInt(font->width(reinterpret_cast<const unsigned char*>(krStringData(string)),
                                            krStringLength(string)))
                   : 0;
  krStringDelete(string);
  return width;
}

int stringHeight(krString* string) {
  krStringDelete(string);
  return fontHeight();
}

}  // namespace gfx
}  // namespace kr
