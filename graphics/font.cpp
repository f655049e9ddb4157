#include "graphics/font.h"

#include <algorithm>
#include <new>
#include <unordered_map>

#include "graphics/canvas.h"
#include "graphics/font_engine.h"
#include "graphics/graphics_state.h"
#include "runtime/handles.h"

namespace kr {

namespace {

// One font's glyph cells together stay below this many pixels, checked from the
// face's widest advance in 64 bits before anything is rasterised: absurd
// heights fail at once instead of rasterising for minutes.
constexpr std::uint64_t kMaxGlyphPixels = 32ull << 20;

struct FontSet {
  HandleRegistry<Font> registry;
  Font* defaultFont = nullptr;
  GraphicsDevice* defaultDevice = nullptr;
  bool addedFiles = false;
  bool hooked = false;
};

FontSet& fontSet() {
  static FontSet set;
  return set;
}

void destroy(Font* font) { delete font; }

// Fonts belong to the display: they go when it closes or is replaced.
void releaseFonts() {
  FontSet& s = fontSet();
  s.registry.clear(destroy);
  delete s.defaultFont;
  s.defaultFont = nullptr;
  s.defaultDevice = nullptr;
  if (s.addedFiles) fontengine::removeAddedFontFiles();
  s.addedFiles = false;
}

void hookDisplay() {
  FontSet& s = fontSet();
  if (!s.hooked) addDisplayReleaseHook(releaseFonts);
  s.hooked = true;
}

// Writes the pixel at every set bit of columns [from, to) of a glyph's rows,
// the column `from` landing at canvas x `left`.
template <class Store>
void paintGlyph(Canvas& canvas, const std::uint32_t* rows, int words, int from, int to, int left, int top,
                int count, Store store) {
  for (int r = 0; r < count; ++r, rows += words) {
    std::uint8_t* line = canvas.address(0, top + r);
    for (int k = from / 32; k * 32 < to; ++k) {
      std::uint32_t bits = rows[k];
      const int base = k * 32;
      if (from > base) bits &= ~0u << (from - base);
      if (to - base < 32) bits &= (1u << (to - base)) - 1;
      while (bits) {
        store(line, left + base + __builtin_ctz(bits) - from);
        bits &= bits - 1;
      }
    }
  }
}

}  // namespace

std::int64_t Font::width(const unsigned char* text, std::size_t length) const {
  std::int64_t sum = 0;
  for (std::size_t i = 0; i < length; ++i) sum += widths[static_cast<std::size_t>(glyphOf(text[i]))];
  return sum;
}

namespace {

std::unique_ptr<Font> rasterise(GraphicsDevice* device, const std::string& faceName, int height, bool bold,
                                bool italic, bool underline) {
  if (height < 1 || height > kMaxFontHeight) return nullptr;
  auto raster = fontengine::Rasteriser::open(faceName, height, fontengine::Style{bold, italic, underline});
  if (!raster) return nullptr;
  const int count = fontengine::kLastCode - fontengine::kFirstCode + 1;
  const std::uint64_t bound =
      static_cast<std::uint64_t>(raster->maxAdvance()) * static_cast<std::uint64_t>(height) * count;
  if (bound > kMaxGlyphPixels) return nullptr;
  auto font = std::make_unique<Font>();
  font->device = device;
  font->height = height;
  font->first = fontengine::kFirstCode;
  font->end = fontengine::kLastCode + 1;
  font->defaultCode = fontengine::kDefaultCode;
  font->widths.resize(count);
  font->offsets.resize(count);
  font->ink.reserve(static_cast<std::size_t>(Font::wordsPerRow(raster->maxAdvance())) * height * count);
  std::unordered_map<unsigned, int> done;  // glyph of the face -> the first code index using it
  done.reserve(count);
  for (int i = 0; i < count; ++i) {
    const unsigned glyph = raster->glyphOf(fontengine::kFirstCode + i);
    auto same = done.find(glyph);
    if (same != done.end()) {
      font->widths[i] = font->widths[same->second];
      font->offsets[i] = font->offsets[same->second];
      continue;
    }
    done.emplace(glyph, i);
    const int advance = raster->load(glyph), words = Font::wordsPerRow(advance);
    const std::size_t at = font->ink.size();
    font->widths[i] = advance;
    font->offsets[i] = at;
    font->ink.resize(at + static_cast<std::size_t>(words) * height, 0);
    raster->render(font->ink.data() + at, words);
  }
  return font;
}

}  // namespace

std::unique_ptr<Font> loadFont(GraphicsDevice* device, const std::string& faceName, int height, bool bold,
                               bool italic, bool underline) {
  try {
    return rasterise(device, faceName, height, bold, italic, underline);
  } catch (const std::bad_alloc&) {
    return nullptr;  // a font that does not fit is one that cannot be loaded
  }
}

void drawText(Canvas& canvas, const Font& font, std::int64_t x, std::int64_t y, const unsigned char* text,
              std::size_t length) {
  const std::int64_t width = font.width(text, length);
  if (width <= 0) return;
  const std::int64_t left = x + canvas.originX(), top = y + canvas.originY();
  Rect clip;
  if (!clipTo(WideRect{left, top, left + width, top + font.height}, canvas.viewport(), &clip)) return;
  const PixelFormat& format = canvas.format();
  std::uint32_t pixel = canvas.colourPixel();
  if ((format.toArgb(pixel) & 0x00FFFFFF) == 0) pixel = format.fromArgb(0x00000010);
  const int rowSkip = static_cast<int>(clip.top - top), rows = clip.height();
  std::int64_t run = left;
  for (std::size_t i = 0; i < length && run < clip.right; ++i) {
    const auto g = static_cast<std::size_t>(font.glyphOf(text[i]));
    const int advance = font.widths[g];
    if (run + advance > clip.left) {
      const int from = static_cast<int>(std::max<std::int64_t>(0, clip.left - run));
      const int to = static_cast<int>(std::min<std::int64_t>(advance, clip.right - run));
      const int words = Font::wordsPerRow(advance);
      const std::uint32_t* ink = font.ink.data() + font.offsets[g] + static_cast<std::size_t>(rowSkip) * words;
      const int at = static_cast<int>(run + from);
      switch (format.bytesPerPixel) {
        case 4:
          paintGlyph(canvas, ink, words, from, to, at, clip.top, rows, [pixel](std::uint8_t* line, int x) {
            reinterpret_cast<std::uint32_t*>(line)[x] = pixel;
          });
          break;
        case 2:
          paintGlyph(canvas, ink, words, from, to, at, clip.top, rows, [pixel](std::uint8_t* line, int x) {
            reinterpret_cast<std::uint16_t*>(line)[x] = static_cast<std::uint16_t>(pixel);
          });
          break;
        default:
          paintGlyph(canvas, ink, words, from, to, at, clip.top, rows,
                     [pixel](std::uint8_t* line, int x) { storePixel(line + 3 * x, 24, pixel); });
      }
    }
    run += advance;
  }
  canvas.changed(clip);
}

namespace fonts {

Font* registered(int handle) { return fontSet().registry.find(handle); }

Font* live(Font* font) {
  if (font && fontSet().registry.find(toHandle(font)) == font) return font;
  return defaultFont();
}

Font* defaultFont() {
  FontSet& s = fontSet();
  GraphicsDevice* device = graphicsState().device;
  if (!device) return nullptr;
  // Tried once per display: a machine without fonts draws no text.
  if (s.defaultDevice == device) return s.defaultFont;
  delete s.defaultFont;
  hookDisplay();
  s.defaultFont = loadFont(device, "courier", 12, false, false, false).release();
  s.defaultDevice = device;
  return s.defaultFont;
}

Font* add(std::unique_ptr<Font> font) {
  hookDisplay();
  Font* f = font.release();
  fontSet().registry.insert(f);
  return f;
}

void free(Font* font) {
  if (Font* f = fontSet().registry.take(toHandle(font))) delete f;
}

void noteAddedFile() {
  hookDisplay();
  fontSet().addedFiles = true;
}

}  // namespace fonts

}  // namespace kr
