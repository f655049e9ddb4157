// Input reading lines from real key events pushed into the window's queue:
// editing keys, Shift, keys without a glyph, key repeat over a held second,
// and the window closed while Input waits.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/input/in_process.h"

namespace {

void pushKey(Uint32 type, SDL_Scancode code) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = code;
  e.key.keysym.sym = SDL_GetKeyFromScancode(code);
  SDL_Window* w = intest::runtimeWindow();
  e.key.windowID = w ? SDL_GetWindowID(w) : 0;
  SDL_PushEvent(&e);
}

// Events the module cannot ask for itself while Input waits come from here.
class Timed {
 public:
  ~Timed() {
    for (std::thread& t : threads_) t.join();
  }
  void hook(const std::string& name) {
    if (name == "hold_x") {
      pushKey(SDL_KEYDOWN, SDL_SCANCODE_X);
      threads_.emplace_back([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        pushKey(SDL_KEYUP, SDL_SCANCODE_X);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN);
        pushKey(SDL_KEYUP, SDL_SCANCODE_RETURN);
      });
    } else if (name == "close_later") {
      threads_.emplace_back([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_CLOSE;
        SDL_Window* w = intest::runtimeWindow();
        e.window.windowID = w ? SDL_GetWindowID(w) : 0;
        SDL_PushEvent(&e);
      });
    }
  }

 private:
  std::vector<std::thread> threads_;
};

const intest::ModuleRun& inputRun() {
  static const intest::ModuleRun run = [] {
    Timed timed;
    return intest::runInProcess("text_input", [&](const std::string& name) { timed.hook(name); });
  }();
  return run;
}

TEST(ConsoleInput, EditingKeys) {
  const intest::ModuleRun& r = inputRun();
  EXPECT_EQ(r.value("insert"), "[aXb]");
  EXPECT_EQ(r.value("escape"), "[c]");
  EXPECT_EQ(r.value("backspace_at_start"), "[a]");
  EXPECT_EQ(r.value("backspace"), "[ac]");
  EXPECT_EQ(r.value("delete"), "[b]");
  EXPECT_EQ(r.value("end"), "[ab]");
  EXPECT_EQ(r.value("right"), "[axb]");
  EXPECT_EQ(r.value("empty"), "[]");
}

TEST(ConsoleInput, ShiftAndKeysWithoutAGlyph) {
  const intest::ModuleRun& r = inputRun();
  EXPECT_EQ(r.value("shift"), "[A!a]");
  EXPECT_EQ(r.value("no_glyph"), "[a]") << "Tab types 9, which the font has no glyph for";
}

TEST(ConsoleInput, AHeldKeyRepeatsAfter280MsThenEvery40) {
  const intest::ModuleRun& r = inputRun();
  const std::string held = r.value("held");
  ASSERT_GE(held.size(), 2u) << held;
  const std::size_t typed = held.size() - 2;
  EXPECT_EQ(held.find_first_not_of("x", 1), held.size() - 1) << held;
  // One press, then repeats at 280, 320, ... up to the release at 1000 ms;
  // a loaded machine may lose a few polls, never add repeats.
  EXPECT_LE(typed, 20u);
  EXPECT_GE(typed, 14u);
}

TEST(ConsoleInput, ClosingTheWindowDuringInputEndsTheProgramQuietly) {
  const intest::ModuleRun& r = inputRun();
  EXPECT_FALSE(r.watchdogFired);
  EXPECT_TRUE(r.ended()) << "no runtime error";
  EXPECT_EQ(r.value("closed"), "(missing closed)");
  EXPECT_EQ(r.value("after_close"), "(missing after_close)");
  EXPECT_NE(r.value("held"), "(missing held)") << "everything before the close ran";
}

}  // namespace
