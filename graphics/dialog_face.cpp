// The runtime's own dialogs draw with a real UI face through the font engine:
// fontconfig's sans-serif face, rasterised once per dialog into the fonts'
// mask store. When no face loads the dialogs keep their built-in face.
#include "graphics/dialog_face.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

#include "graphics/font.h"
#include "net/dialog_font.h"

namespace kr {

namespace {

class FaceDialogFont : public DialogFont {
 public:
  explicit FaceDialogFont(std::unique_ptr<Font> font) : font_(std::move(font)) {}

  int lineHeight() const override { return font_->height; }

  int textWidth(const std::string& text) const override {
    std::int64_t width = font_->width(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return static_cast<int>(std::min<std::int64_t>(width, std::numeric_limits<int>::max()));
  }

  void draw(SDL_Surface* target, int x, int y, const std::string& text, Uint32 argb,
            const SDL_Rect& clip) const override {
    SDL_Rect bounds{0, 0, target->w, target->h};
    SDL_Rect area;
    if (target->format->BytesPerPixel != 4 || !SDL_IntersectRect(&clip, &bounds, &area)) return;
    for (unsigned char c : text) {
      if (x >= area.x + area.w) break;
      const int glyph = font_->glyphOf(c);
      const int advance = font_->widths[static_cast<std::size_t>(glyph)];
      const int left = std::max(x, area.x), right = std::min(x + advance, area.x + area.w);
      for (int row = 0; row < font_->height && left < right; ++row) {
        const int py = y + row;
        if (py < area.y || py >= area.y + area.h) continue;
        auto* line = reinterpret_cast<Uint32*>(static_cast<Uint8*>(target->pixels) + py * target->pitch);
        for (int px = left; px < right; ++px)
          if (font_->inked(glyph, px - x, row)) line[px] = argb;
      }
      x += advance;
    }
  }

 private:
  std::unique_ptr<Font> font_;
};

// A dialog's point size as a cell height in pixels at 96 dots per inch, with
// the usual fifth of the em added for the line.
int cellHeightFor(int points) { return std::clamp((points * 96 * 6 + 180) / (72 * 5), 6, 72); }

std::unique_ptr<DialogFont> openDialogFace(const char* /*face*/, int points) {
  // The dialogs name a Windows UI face; the desktop's UI face stands in for it.
  std::unique_ptr<Font> font = loadFont(nullptr, "sans-serif", cellHeightFor(points), false, false, false);
  if (!font) return nullptr;
  return std::make_unique<FaceDialogFont>(std::move(font));
}

}  // namespace

void installDialogFace() { setDialogFontFactory(openDialogFace); }

}  // namespace kr
