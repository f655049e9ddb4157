// The font engine below the font commands: fontconfig finds the face file for a
// name and style, FreeType rasterises character codes 32 to 255 (read as
// Windows-1252) monochrome and hinted into cells of exactly the asked height.
// Nothing above this file sees a FreeType or fontconfig type.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace kr::fontengine {

// Codes the fonts cover, and the code drawn for every code outside them. It
// lies inside the range and shows the face's missing-glyph box.
constexpr int kFirstCode = 32;
constexpr int kLastCode = 255;
constexpr int kDefaultCode = 127;

struct Style {
  bool bold = false, italic = false, underline = false;
};

// One face opened at one cell height.
class Rasteriser {
 public:
  // Null when no usable face stands behind the name (the machine has no fonts,
  // the matched file is broken).
  static std::unique_ptr<Rasteriser> open(const std::string& faceName, int cellHeight, Style style);
  virtual ~Rasteriser() = default;

  // An upper bound of any code's advance, known before anything is rasterised.
  virtual int maxAdvance() const = 0;
  // The face's glyph for a code: codes with equal glyphs rasterise alike.
  virtual unsigned glyphOf(int code) const = 0;
  // Rasterises a glyph of the face (from glyphOf); its advance (0 when the
  // glyph cannot be loaded). render then sets the inked pixels of a zeroed cell of cell-height
  // rows of `words` 32-bit words each (column x is bit x % 32 of word x / 32).
  virtual int load(unsigned glyph) = 0;
  virtual void render(std::uint32_t* rows, int words) const = 0;
};

// Adds a font file for the rest of the process (regular files only; anything
// else is refused without being read). Gives the family of its first face.
bool addFontFile(const std::string& path, std::string* family);
// True when an installed or added face carries this family name (case ignored).
bool haveFamily(const std::string& family);
// Forgets every added font file.
void removeAddedFontFiles();

}  // namespace kr::fontengine
