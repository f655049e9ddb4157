// The text console: Print, Write, Locate and Input on the front buffer, in the
// current font and colours, scrolling the front buffer up when a line would
// not fit.
#include <algorithm>
#include <climits>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "graphics/font.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "graphics/text_commands.h"
#include "host/host_runtime.h"
#include "input/keyboard_access.h"
#include "lang/kr_string.h"
#include "runtime/errors.h"

namespace kr {
namespace gfx {

namespace {

constexpr int kBlinkMs = 320;
constexpr int kRepeatDelayMs = 280;
constexpr int kRepeatRateMs = 40;
constexpr int kPollMs = 20;

// Kept between Input calls; goes with the display.
std::unique_ptr<Canvas> gInputCanvas;
bool gInputHooked = false;

void releaseInputCanvas() { gInputCanvas.reset(); }

int saturate(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)); }

// A console command's hold on the front buffer: its view is reset to the
// whole canvas for the command and put back afterwards.
class ConsoleSession {
 public:
  ConsoleSession() {
    GraphicsState& g = graphicsState();
    if (!g.programMode) graphics(400, 300, 0, 2);
    front_ = g.device->front();
    front_->lock();
    front_->unlock();
    savedOriginX_ = front_->originX(), savedOriginY_ = front_->originY();
    savedHandleX_ = front_->handleX(), savedHandleY_ = front_->handleY();
    savedView_ = front_->viewport();
    front_->resetView();
    front_->setHandle(0, 0);
    if (front_ != g.buffer) {
      front_->setFont(g.font);
      front_->setColour(g.colour);
    }
    font_ = fonts::live(front_->font());
    scroll();
  }

  // Ends the program quietly when the window was closed meanwhile.
  void finish() {
    GraphicsState& g = graphicsState();
    front_->setViewport(savedView_.left, savedView_.top, savedView_.width(), savedView_.height());
    front_->setHandle(savedHandleX_, savedHandleY_);
    front_->setOrigin(savedOriginX_, savedOriginY_);
    if (front_ == g.buffer) front_->setColour(g.colour);
    checkEndRequest();
  }

  Canvas& front() const { return *front_; }
  // Null only on a machine with no font at all.
  const Font* font() const { return font_; }
  int fontHeight() const { return font_ ? font_->height : 0; }

  void draw(std::string_view text, std::int64_t x, std::int64_t y) const {
    if (font_) drawText(*front_, *font_, x, y, bytes(text), text.size());
  }
  std::int64_t width(std::string_view text) const { return font_ ? font_->width(bytes(text), text.size()) : 0; }
  static const unsigned char* bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

 private:
  // Moves everything up by exactly what the next line lacks; the band freed
  // at the bottom takes the clear colour.
  void scroll() {
    GraphicsState& g = graphicsState();
    const int h = front_->height(), w = front_->width(), fh = fontHeight();
    const std::int64_t over = static_cast<std::int64_t>(g.cursorY) - h + fh;
    if (over <= 0) return;
    g.cursorY = h - fh;
    const int rows = static_cast<int>(over);
    front_->blit(0, 0, *front_, 0, rows, w, h - rows, true);
    front_->setColour(g.clearColour);
    front_->rectangle(0, h - rows, w, rows, true);
    front_->setColour(g.colour);
  }

  Canvas* front_;
  const Font* font_;
  int savedOriginX_, savedOriginY_, savedHandleX_, savedHandleY_;
  Rect savedView_;
};

void advanceLine(int fontHeight) {
  GraphicsState& g = graphicsState();
  g.cursorX = 0;
  g.cursorY = saturate(static_cast<std::int64_t>(g.cursorY) + fontHeight);
}

bool makeInputCanvas(const Canvas& front, int fontHeight) {
  const std::int64_t height = 2 * static_cast<std::int64_t>(fontHeight);
  if (gInputCanvas && gInputCanvas->width() >= front.width() && gInputCanvas->height() >= height) return true;
  gInputCanvas.reset();
  if (height > Canvas::kMaxSide) return false;
  auto store = PixelStore::create(front.width(), static_cast<int>(height), front.format());
  if (!store) return false;
  gInputCanvas = std::make_unique<Canvas>(front.device(), std::move(store));
  if (!gInputHooked) addDisplayReleaseHook(releaseInputCanvas);
  gInputHooked = true;
  return true;
}

// Waits for a typed character with the block cursor blinking over the cell at
// x; 0 when the window was closed. Holding a key repeats it.
class KeyReader {
 public:
  int next(ConsoleSession& console, std::int64_t cellX, std::string_view cellText, std::int64_t cellWidth) {
    HostRuntime& host = *currentHost();
    const std::uint32_t start = HostRuntime::milliSecs();
    std::int64_t shownPhase = -1;
    while (!host.endRequested()) {
      const std::int64_t phase = (HostRuntime::milliSecs() - start) / kBlinkMs;
      if (phase != shownPhase) {
        blink(console, phase % 2 == 0, cellX, cellText, cellWidth);
        shownPhase = phase;
      }
      if (int key = typed()) return key;
      host.delay(kPollMs);
    }
    return 0;
  }

 private:
  int typed() {
    for (input::KeyPress press = input::takeKeyPress(); press.code; press = input::takeKeyPress()) {
      if (!press.character) continue;
      held_ = press.code;
      lastMs_ = HostRuntime::milliSecs();
      delayMs_ = kRepeatDelayMs;
      return press.character;
    }
    if (!held_) return 0;
    if (!input::keyIsDown(held_)) {
      held_ = 0;
      return 0;
    }
    if (static_cast<std::int32_t>(HostRuntime::milliSecs() - lastMs_) <= delayMs_) return 0;
    lastMs_ += static_cast<std::uint32_t>(delayMs_);
    delayMs_ = kRepeatRateMs;
    return input::keyCharacter(held_);
  }

  // Shown: the cell inverted against the clear colour; hidden: the line as it
  // was, with the cell's character in the text colour.
  static void blink(ConsoleSession& console, bool shown, std::int64_t x, std::string_view text,
                    std::int64_t width) {
    GraphicsState& g = graphicsState();
    Canvas& front = console.front();
    const int fh = console.fontHeight();
    const int left = saturate(x), w = saturate(width);
    if (shown) {
      front.setColour(g.clearColour ^ 0x00FFFFFF);
      front.rectangle(left, g.cursorY, w, fh, true);
      front.setColour(g.clearColour);
    } else {
      front.blit(left, g.cursorY, *gInputCanvas, left, 0, w, fh, true);
      front.setColour(g.colour);
    }
    console.draw(text, x, g.cursorY);
    front.setColour(g.colour);
  }

  int held_ = 0;
  std::uint32_t lastMs_ = 0;
  int delayMs_ = kRepeatDelayMs;
};

std::string readLine(ConsoleSession& console) {
  GraphicsState& g = graphicsState();
  Canvas& front = console.front();
  const int fh = console.fontHeight();
  const Font* font = console.font();
  Canvas& edit = *gInputCanvas;
  edit.setFont(front.font());
  edit.setColour(g.colour);
  edit.blit(0, 0, front, 0, g.cursorY, front.width(), fh, true);
  std::string line;
  std::size_t at = 0;
  KeyReader keys;
  for (;;) {
    const std::string_view whole(line);
    const std::int64_t cellX = g.cursorX + console.width(whole.substr(0, at));
    const std::string_view cell = whole.substr(at, at < line.size() ? 1 : 0);
    const std::int64_t cellWidth = console.width(cell.empty() ? std::string_view("X") : cell);
    const int key = keys.next(console, cellX, cell, cellWidth);
    switch (key) {
      case 0:
        return std::string();
      case 1:
        at = 0;
        break;
      case 2:
        at = line.size();
        break;
      case 4:
        if (at < line.size()) line.erase(at, 1);
        break;
      case 8:
        if (at > 0) line.erase(--at, 1);
        break;
      case 13:
        return line;
      case 27:
        line.clear(), at = 0;
        break;
      case 30:
        if (at < line.size()) ++at;
        break;
      case 31:
        if (at > 0) --at;
        break;
      default:
        if (font && font->hasGlyph(key)) line.insert(at++, 1, static_cast<char>(key));
    }
    edit.blit(0, fh, edit, 0, 0, edit.width(), fh, true);
    if (font) drawText(edit, *font, g.cursorX, fh, ConsoleSession::bytes(line), line.size());
    front.blit(0, g.cursorY, edit, 0, fh, edit.width(), fh, true);
  }
}

// A string argument, released however the command ends.
class StringArg {
 public:
  explicit StringArg(krString* s) : s_(s) {}
  ~StringArg() { krStringDelete(s_); }
  StringArg(const StringArg&) = delete;
  StringArg& operator=(const StringArg&) = delete;
  std::string_view view() const { return std::string_view(krStringData(s_), krStringLength(s_)); }

 private:
  krString* s_;
};

}  // namespace

void consoleWrite(krString* string) {
  StringArg arg(string);
  const std::string_view text = arg.view();
  ConsoleSession console;
  GraphicsState& g = graphicsState();
  console.draw(text, g.cursorX, g.cursorY);
  g.cursorX = saturate(g.cursorX + console.width(text));
  console.finish();
}

void consolePrint(krString* string) {
  StringArg arg(string);
  const std::string_view text = arg.view();
  ConsoleSession console;
  GraphicsState& g = graphicsState();
  console.draw(text, g.cursorX, g.cursorY);
  advanceLine(console.fontHeight());
  console.finish();
}

krString* consoleInput(krString* prompt) {
  StringArg arg(prompt);
  const std::string_view text = arg.view();
  ConsoleSession console;
  GraphicsState& g = graphicsState();
  if (!makeInputCanvas(console.front(), console.fontHeight())) {
    console.finish();
    return krStringNew("", 0);
  }
  console.draw(text, g.cursorX, g.cursorY);
  g.cursorX = saturate(g.cursorX + console.width(text));
  std::string line = readLine(console);
  advanceLine(console.fontHeight());
  console.finish();
  return krStringNew(line);
}

void locate(int x, int y) {
  GraphicsState& g = graphicsState();
  if (!g.programMode) graphics(400, 300, 0, 2);
  if (!g.device) return;
  Canvas* front = g.device->front();
  g.cursorX = std::clamp(x, 0, front->width());
  g.cursorY = std::clamp(y, 0, front->height());
}

}  // namespace gfx
}  // namespace kr
