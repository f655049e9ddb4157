// Text for the runtime's own dialogs. The fonts group may install a factory
// that gives a real face; without one (or when it declines) the built-in 8 x 8
// bitmap face is used.
#pragma once
#include <SDL2/SDL.h>

#include <memory>
#include <string>

namespace kr {

class DialogFont {
 public:
  virtual ~DialogFont() = default;
  virtual int lineHeight() const = 0;
  virtual int textWidth(const std::string& text) const = 0;
  // Draws text with its top-left corner at (x, y) onto an ARGB8888 surface,
  // touching only pixels inside clip.
  virtual void draw(SDL_Surface* target, int x, int y, const std::string& text, Uint32 argb,
                    const SDL_Rect& clip) const = 0;
};

using DialogFontFactory = std::unique_ptr<DialogFont> (*)(const char* face, int points);

void setDialogFontFactory(DialogFontFactory factory);
// The installed face when it gives one, else the built-in default.
std::unique_ptr<DialogFont> makeDialogFont(const char* face, int points);
std::unique_ptr<DialogFont> builtinDialogFont();

}  // namespace kr
