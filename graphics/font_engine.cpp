#include "graphics/font_engine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <tuple>

namespace kr::fontengine {

namespace {

// Windows-1252 codes 128 to 159; 0 marks the five codes it leaves undefined.
const std::uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// 0 for codes with no character: they get the missing-glyph box.
std::uint32_t unicodeOf(int code) {
  if (code >= 128 && code < 160) return kCp1252High[code - 128];
  if (code == 127 || code < 32) return 0;
  return static_cast<std::uint32_t>(code);
}

// The faces games name, mapped to installed faces with the same metrics.
std::string familyFor(const std::string& name) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "courier" || lower == "courier new") return "Liberation Mono";
  if (lower == "arial") return "Liberation Sans";
  if (lower == "times new roman" || lower == "times") return "Liberation Serif";
  return name;
}

FT_Library library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

bool fontconfigReady() {
  static bool ready = FcInit() == FcTrue;
  return ready;
}

struct FaceFile {
  std::string path;
  int index = 0;
};

// Matches are remembered until the set of added files changes.
std::map<std::tuple<std::string, bool, bool>, FaceFile>& matchCache() {
  static std::map<std::tuple<std::string, bool, bool>, FaceFile> cache;
  return cache;
}

bool findFace(const std::string& family, bool bold, bool italic, FaceFile* out) {
  auto key = std::make_tuple(family, bold, italic);
  auto hit = matchCache().find(key);
  if (hit != matchCache().end()) {
    *out = hit->second;
    return true;
  }
  if (!fontconfigReady()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  // The name goes in as a value, never parsed as a pattern: ':' and '-' in a
  // game's font name mean nothing here.
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8* file = nullptr;
  int index = 0;
  bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
  if (found) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    out->path = reinterpret_cast<const char*>(file);
    out->index = index;
    matchCache()[key] = *out;
  }
  FcPatternDestroy(match);
  return found;
}

// The face of the last font loaded stays open: fonts are mostly loaded in runs
// of one face, and a display change reloads the default font.
struct OpenFace {
  std::string path;
  int index = -1;
  FT_Face face = nullptr;
};

OpenFace& openFace() {
  static OpenFace cached;
  return cached;
}

FT_Face takeFace(const std::string& path, int index) {
  OpenFace& cached = openFace();
  if (cached.face && cached.path == path && cached.index == index) {
    FT_Face face = cached.face;
    cached.face = nullptr;
    return face;
  }
  FT_Face face = nullptr;
  if (!library() || FT_New_Face(library(), path.c_str(), index, &face) != 0) return nullptr;
  return face;
}

void keepFace(const std::string& path, int index, FT_Face face) {
  OpenFace& cached = openFace();
  if (cached.face) FT_Done_Face(cached.face);
  cached.path = path;
  cached.index = index;
  cached.face = face;
}

struct ReversedBytes {
  std::uint8_t value[256];
  constexpr ReversedBytes() : value() {
    for (int i = 0; i < 256; ++i)
      for (int bit = 0; bit < 8; ++bit)
        if (i & (1 << bit)) value[i] |= static_cast<std::uint8_t>(0x80 >> bit);
  }
  std::uint8_t operator[](int i) const { return value[i]; }
};
constexpr ReversedBytes kReversed;

int roundDiv(std::int64_t a, std::int64_t b) { return static_cast<int>((a + b / 2) / b); }

class FreeTypeRasteriser : public Rasteriser {
 public:
  ~FreeTypeRasteriser() override {
    if (!face_) return;
    if (usable_)
      keepFace(file_.path, file_.index, face_);
    else
      FT_Done_Face(face_);
  }

  bool start(const FaceFile& file, int cellHeight, Style style) {
    file_ = file;
    face_ = takeFace(file.path, file.index);
    if (!face_ || !FT_IS_SCALABLE(face_) || face_->units_per_EM == 0) return false;
    usable_ = true;
    if (FT_Select_Charmap(face_, FT_ENCODING_UNICODE) != 0) {
      if (face_->num_charmaps < 1) return false;
      FT_Set_Charmap(face_, face_->charmaps[0]);
      rawCodes_ = true;
    }
    height_ = cellHeight;
    // What the face file itself is: fontconfig reports the style asked for
    // when it would synthesise it.
    emboldenNeeded_ = style.bold && !(face_->style_flags & FT_STYLE_FLAG_BOLD);
    obliqueNeeded_ = style.italic && !(face_->style_flags & FT_STYLE_FLAG_ITALIC);
    underline_ = style.underline;
    // The cell is the face's Windows ascent plus descent, scaled to the height
    // asked: fonts keep the line spacing games were laid out for.
    std::int64_t ascent = face_->ascender, descent = -static_cast<std::int64_t>(face_->descender);
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      ascent = os2->usWinAscent;
      descent = os2->usWinDescent;
    }
    std::int64_t cellUnits = ascent + descent;
    if (cellUnits <= 0) return false;
    cellUnits_ = cellUnits;
    std::int64_t ppem64 = (static_cast<std::int64_t>(cellHeight) * face_->units_per_EM * 64 + cellUnits / 2) / cellUnits;
    if (ppem64 < 1 || ppem64 > 0x7FFFFFFF) return false;
    if (FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(ppem64), 72, 72) != 0) return false;
    ascentPx_ = roundDiv(ascent * cellHeight, cellUnits);
    // Hinting may round an advance up by a pixel, emboldening adds a little more.
    std::int64_t widest = (static_cast<std::int64_t>(face_->max_advance_width) * cellHeight + cellUnits - 1) / cellUnits;
    maxAdvance_ = static_cast<int>(std::min<std::int64_t>(widest + 2 + (emboldenNeeded_ ? 2 + cellHeight / 16 : 0), 1 << 30));
    if (underline_) {
      thickness_ = std::max(1, roundDiv(static_cast<std::int64_t>(face_->underline_thickness) * cellHeight, cellUnits));
      thickness_ = std::min(thickness_, cellHeight);
      underlineTop_ = ascentPx_ - roundDiv(static_cast<std::int64_t>(face_->underline_position) * cellHeight, cellUnits) -
                      thickness_ / 2;
      underlineTop_ = std::clamp(underlineTop_, 0, cellHeight - thickness_);
    }
    return true;
  }

  int maxAdvance() const override { return maxAdvance_; }

  unsigned glyphOf(int code) const override {
    std::uint32_t unicode = unicodeOf(code);
    return unicode ? FT_Get_Char_Index(face_, rawCodes_ ? static_cast<FT_ULong>(code) : unicode) : 0;
  }

  int load(unsigned glyph) override {
    loaded_ = false;
    if (FT_Load_Glyph(face_, glyph, FT_LOAD_TARGET_MONO) != 0) return 0;
    FT_GlyphSlot slot = face_->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (emboldenNeeded_) FT_GlyphSlot_Embolden(slot);
      if (obliqueNeeded_) FT_GlyphSlot_Oblique(slot);
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return 0;
    loaded_ = true;
    advance_ = static_cast<int>(std::clamp<FT_Pos>((slot->advance.x + 32) >> 6, 0, maxAdvance_));
    return advance_;
  }

  // Ink outside the cell is cut off, as a glyph drawn clipped to its cell.
  void render(std::uint32_t* rows, int words) const override {
    if (!loaded_ || advance_ <= 0) return;
    const FT_GlyphSlot slot = face_->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode == FT_PIXEL_MODE_MONO && bm.buffer) {
      const int bytes = static_cast<int>((bm.width + 7) / 8);
      for (unsigned r = 0; r < bm.rows; ++r) {
        const std::int64_t y = static_cast<std::int64_t>(ascentPx_) - slot->bitmap_top + r;
        if (y < 0 || y >= height_) continue;
        const unsigned char* bits = bm.buffer + static_cast<std::ptrdiff_t>(bm.pitch) * static_cast<int>(r);
        std::uint32_t* out = rows + y * words;
        for (int b = 0; b < bytes; ++b) {
          // FreeType's bytes are leftmost pixel first; rows here are lowest bit first.
          std::uint32_t v = kReversed[bits[b]];
          const int valid = std::min(8, static_cast<int>(bm.width) - 8 * b);
          if (valid < 8) v &= (1u << valid) - 1;
          std::int64_t x = static_cast<std::int64_t>(slot->bitmap_left) + 8 * b;
          if (x < 0) {
            if (x <= -8) continue;
            v >>= -x;
            x = 0;
          }
          const std::int64_t room = advance_ - x;
          if (room <= 0 || v == 0) continue;
          if (room < 8) v &= (1u << room) - 1;
          const int word = static_cast<int>(x / 32), shift = static_cast<int>(x % 32);
          out[word] |= v << shift;
          if (shift > 24) out[word + 1] |= v >> (32 - shift);
        }
      }
    }
    if (underline_)
      for (int y = underlineTop_; y < underlineTop_ + thickness_; ++y)
        for (int x = 0; x < advance_; x += 32)
          rows[static_cast<std::ptrdiff_t>(y) * words + x / 32] |= advance_ - x >= 32 ? ~0u : (1u << (advance_ - x)) - 1;
  }

 private:
  FaceFile file_;
  FT_Face face_ = nullptr;
  bool usable_ = false;
  bool rawCodes_ = false;
  bool emboldenNeeded_ = false, obliqueNeeded_ = false, underline_ = false;
  int height_ = 0, ascentPx_ = 0, maxAdvance_ = 0;
  std::int64_t cellUnits_ = 1;
  int thickness_ = 0, underlineTop_ = 0;
  bool loaded_ = false;
  int advance_ = 0;
};

}  // namespace

std::unique_ptr<Rasteriser> Rasteriser::open(const std::string& faceName, int cellHeight, Style style) {
  FaceFile file;
  if (!findFace(familyFor(faceName), style.bold, style.italic, &file)) return nullptr;
  auto r = std::make_unique<FreeTypeRasteriser>();
  if (!r->start(file, cellHeight, style)) return nullptr;
  return r;
}

namespace {

// Files added so far with their families: adding one again changes nothing.
std::map<std::string, std::string>& addedFiles() {
  static std::map<std::string, std::string> added;
  return added;
}

}  // namespace

bool addFontFile(const std::string& path, std::string* family) {
  auto known = addedFiles().find(path);
  if (known != addedFiles().end()) {
    *family = known->second;
    return true;
  }
  struct stat st;
  // Only a regular file: fontconfig would scan a whole directory tree.
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !fontconfigReady()) return false;
  int count = 0;
  FcPattern* face = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(path.c_str()), 0, nullptr, &count);
  if (!face) return false;
  FcChar8* name = nullptr;
  bool named = FcPatternGetString(face, FC_FAMILY, 0, &name) == FcResultMatch && name;
  if (named) *family = reinterpret_cast<const char*>(name);
  FcPatternDestroy(face);
  if (!named || FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(path.c_str())) != FcTrue) return false;
  matchCache().clear();
  addedFiles()[path] = *family;
  return true;
}

bool haveFamily(const std::string& family) {
  if (family.empty() || !fontconfigReady()) return false;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  bool found = false;
  if (pattern && objects) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    found = set && set->nfont > 0;
    if (set) FcFontSetDestroy(set);
  }
  if (objects) FcObjectSetDestroy(objects);
  if (pattern) FcPatternDestroy(pattern);
  return found;
}

void removeAddedFontFiles() {
  if (!fontconfigReady()) return;
  FcConfigAppFontClear(nullptr);
  matchCache().clear();
  addedFiles().clear();
}

}  // namespace kr::fontengine
