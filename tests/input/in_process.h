// Runs an input test module inside this process on the shared runtime, under
// a debugger that turns the module's "@..." log lines into SDL events pushed
// into the window's queue, so the module's next pump delivers them.
//
// Script words, separated by spaces (keys by SDL scancode name, "Left Shift"
// written Left_Shift):
//   down K / up K / tap K     key down, key up, both
//   repeat K                  an auto-repeat key down
//   move X Y                  pointer at window position X, Y
//   press B / release B       mouse button B (SDL numbering: 1 left, 2 middle, 3 right)
//   unfocus                   the window loses the keyboard focus
//   close                     the user closes the window
//   hook NAME                 calls the test's own hook with NAME
#pragma once
#include <SDL2/SDL.h>

#include <functional>
#include <string>
#include <vector>

#include "korrin_runtime.h"

namespace intest {

struct ModuleRun {
  std::vector<std::string> logs;  // every log line that is not a script
  std::vector<std::string> reports;  // debugInfo and debugError lines
  bool watchdogFired = false;
  std::string value(const std::string& label) const;
  int number(const std::string& label) const;
  bool ended() const;  // ended normally ("Program has ended" or a quiet end)
};

// Runs modules/NAME.krm; hook is called for each "hook NAME", on the main thread.
ModuleRun runInProcess(const std::string& module, std::function<void(const std::string&)> hook = nullptr);

Runtime* sharedRuntime();
SDL_Window* runtimeWindow();

}  // namespace intest
