// Fonts: every glyph rasterised once, at load time, into a mask store; text
// drawing afterwards only copies the inked pixels of each glyph into a canvas.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kr {

class Canvas;
class GraphicsDevice;

struct Font {
  GraphicsDevice* device = nullptr;
  int height = 0;           // cell height in pixels
  int first = 0, end = 0;   // codes first .. end - 1 have glyphs of their own
  int defaultCode = 0;      // drawn for every other code; always inside the range
  // Per glyph, first code first: its advance and where its ink starts in the
  // store. A glyph's cell is `height` rows of wordsPerRow(advance) words; bit
  // i of a row's word k is column 32 k + i. Drawing walks only the set bits.
  std::vector<std::int32_t> widths;
  std::vector<std::size_t> offsets;
  std::vector<std::uint32_t> ink;

  static int wordsPerRow(int advance) { return (advance + 31) / 32; }
  bool inked(int glyph, int x, int y) const {
    const std::uint32_t* row = ink.data() + offsets[glyph] + static_cast<std::size_t>(y) * wordsPerRow(widths[glyph]);
    return (row[x / 32] >> (x % 32)) & 1;
  }

  int glyphOf(unsigned char code) const {
    return (code >= first && code < end ? code : defaultCode) - first;
  }
  bool hasGlyph(int code) const { return code >= first && code < end; }
  // Sum of the advances; 64 bits, as a long enough string overflows 32.
  std::int64_t width(const unsigned char* text, std::size_t length) const;
};

// The largest cell height a font may have: taller ones are refused at once.
constexpr int kMaxFontHeight = 4096;

// Rasterises a face for a device; null when it cannot be made. The height is
// taken as given (callers map 0 and negative heights first).
std::unique_ptr<Font> loadFont(GraphicsDevice* device, const std::string& faceName, int height, bool bold,
                               bool italic, bool underline);

// Draws text with the canvas's font, in its colour, at (x, y) through its
// origin, clipped to its viewport. Black becomes 0x000010 so masks keep it.
void drawText(Canvas& canvas, const Font& font, std::int64_t x, std::int64_t y, const unsigned char* text,
              std::size_t length);

// The fonts of the open display. Records a program hands back are looked up
// here before use; the default font ("courier" 12) is made on first need.
namespace fonts {

Font* registered(int handle);    // null when not a live font
Font* live(Font* font);          // the font itself if live, else the default
Font* defaultFont();             // null only when no face can be loaded at all
Font* add(std::unique_ptr<Font> font);
void free(Font* font);
void noteAddedFile();            // a font file was added for this display

}  // namespace fonts

}  // namespace kr
