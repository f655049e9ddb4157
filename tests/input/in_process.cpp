#include "tests/input/in_process.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "runtime/linker.h"
#include "tests/support/module_runner.h"

namespace intest {

namespace {

SDL_Scancode scancode(std::string name) {
  for (char& c : name)
    if (c == '_') c = ' ';
  SDL_Scancode s = SDL_GetScancodeFromName(name.c_str());
  EXPECT_NE(s, SDL_SCANCODE_UNKNOWN) << name;
  return s;
}

void pushKey(Uint32 type, SDL_Scancode s, bool repeat) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = repeat;
  e.key.keysym.scancode = s;
  e.key.keysym.sym = SDL_GetKeyFromScancode(s);
  SDL_Window* w = runtimeWindow();
  e.key.windowID = w ? SDL_GetWindowID(w) : 0;
  SDL_PushEvent(&e);
}

void pushButton(Uint32 type, int button) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.button.button = static_cast<Uint8>(button);
  e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  SDL_Window* w = runtimeWindow();
  e.button.windowID = w ? SDL_GetWindowID(w) : 0;
  SDL_PushEvent(&e);
}

void pushWindowEvent(Uint8 what) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_WINDOWEVENT;
  e.window.event = what;
  SDL_Window* w = runtimeWindow();
  e.window.windowID = w ? SDL_GetWindowID(w) : 0;
  SDL_PushEvent(&e);
}

void play(const std::string& script, const std::function<void(const std::string&)>& hook) {
  std::istringstream words(script);
  std::string word;
  while (words >> word) {
    if (word == "down" || word == "up" || word == "tap" || word == "repeat") {
      std::string key;
      words >> key;
      SDL_Scancode s = scancode(key);
      if (word != "up") pushKey(SDL_KEYDOWN, s, word == "repeat");
      if (word == "up" || word == "tap") pushKey(SDL_KEYUP, s, false);
    } else if (word == "move") {
      int x, y;
      words >> x >> y;
      SDL_Event e;
      SDL_zero(e);
      e.type = SDL_MOUSEMOTION;
      e.motion.x = x;
      e.motion.y = y;
      SDL_Window* w = runtimeWindow();
      e.motion.windowID = w ? SDL_GetWindowID(w) : 0;
      SDL_PushEvent(&e);
    } else if (word == "press" || word == "release") {
      int button;
      words >> button;
      pushButton(word == "press" ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP, button);
    } else if (word == "unfocus") {
      pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    } else if (word == "close") {
      pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    } else if (word == "hook") {
      std::string name;
      words >> name;
      if (hook) hook(name);
    } else {
      ADD_FAILURE() << "unknown script word " << word;
    }
  }
}

class ScriptDebugger : public Debugger {
 public:
  ScriptDebugger(ModuleRun& run, std::function<void(const std::string&)> hook) : run_(run), hook_(std::move(hook)) {}
  void debugRun() override {}
  // Stop resumes at once, as a debugger's user would.
  void debugStop() override {
    run_.reports.push_back("stop");
    sharedRuntime()->asyncRun();
  }
  void debugStmt(int, int) override {}
  void debugEnter(int, int, int) override {}
  void debugLeave() override {}
  void debugInfo(const char* m) override { run_.reports.push_back(std::string("info:") + m); }
  void debugError(const char* m) override { run_.reports.push_back(std::string("error:") + m); }
  void debugLog(const char* m) override {
    if (m[0] == '@')
      play(m + 1, hook_);
    else
      run_.logs.push_back(m);
  }

 private:
  ModuleRun& run_;
  std::function<void(const std::string&)> hook_;
};

}  // namespace

std::string ModuleRun::value(const std::string& label) const {
  for (const std::string& line : logs)
    if (line.compare(0, label.size() + 1, label + "=") == 0) return line.substr(label.size() + 1);
  return "(missing " + label + ")";
}

int ModuleRun::number(const std::string& label) const { return std::atoi(value(label).c_str()); }

bool ModuleRun::ended() const {
  for (const std::string& r : reports)
    if (r.compare(0, 6, "error:") == 0) return false;
  return !watchdogFired;
}

Runtime* sharedRuntime() {
  static Runtime* runtime = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    void* library = dlopen(KR_BUILD_DIR "/libkrruntime.so", RTLD_NOW | RTLD_LOCAL);
    if (!library) return static_cast<Runtime*>(nullptr);
    auto get = reinterpret_cast<Runtime* (*)()>(dlsym(library, "runtimeGetRuntime"));
    return get ? get() : nullptr;
  }();
  return runtime;
}

SDL_Window* runtimeWindow() {
  for (Uint32 id = 1; id < 1000; ++id)
    if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
  return nullptr;
}

ModuleRun runInProcess(const std::string& module, std::function<void(const std::string&)> hook) {
  ModuleRun run;
  Runtime* runtime = sharedRuntime();
  if (!runtime) {
    ADD_FAILURE() << "libkrruntime.so: " << dlerror();
    return run;
  }
  std::string bytes = krtest::readFile(krtest::modulePath(module));
  kr::LinkResult linked = kr::linkModule(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                         kr::buildRuntimeTable(*runtime));
  if (linked.status != kr::LinkResult::kLinked) {
    ADD_FAILURE() << "cannot link " << module;
    return run;
  }
  // Ends a stuck run so a failing test fails instead of hanging.
  std::atomic<bool> done{false}, fired{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!done) {
      fired = true;
      runtime->asyncEnd();
    }
  });
  ScriptDebugger debugger(run, hook);
  runtime->execute(linked.entry, &debugger, 1, 0);
  done = true;
  watchdog.join();
  run.watchdogFired = fired;
  kr::releaseLinkedModule(linked);
  return run;
}

}  // namespace intest
