// A development environment's view: load libkrruntime.so, list the command
// table, link a module and run it under our own debugger, steering it from
// another thread.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <SDL2/SDL.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/linker.h"
#include "runtime/runtime_api.h"
#include "tests/support/module_runner.h"

namespace {

Runtime* loadRuntime() {
  static Runtime* runtime = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    void* library = dlopen((std::string(KR_BUILD_DIR) + "/libkrruntime.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return static_cast<Runtime*>(nullptr);
    auto get = reinterpret_cast<Runtime* (*)()>(dlsym(library, "runtimeGetRuntime"));
    return get ? get() : nullptr;
  }();
  return runtime;
}

// Records every report as a line; hooks let a test act on the main thread.
class RecordingDebugger : public Debugger {
 public:
  std::vector<std::string> events;
  std::function<void(const std::string&)> onLog;
  std::atomic<bool> stopped{false};
  std::atomic<int> logs{0};
  int firstStmt[2] = {0, 0};
  int enter[3] = {0, 0, 0};
  int stmtCount = 0;

  void debugRun() override { add("run"); }
  void debugStop() override {
    add("stop");
    stopped = true;
  }
  void debugStmt(int a, int b) override {
    if (stmtCount++ == 0) firstStmt[0] = a, firstStmt[1] = b;
  }
  void debugEnter(int a, int b, int c) override { enter[0] = a, enter[1] = b, enter[2] = c; }
  void debugLeave() override { add("leave"); }
  void debugInfo(const char* m) override { add(std::string("info:") + m); }
  void debugError(const char* m) override { add(std::string("error:") + m); }
  void debugLog(const char* m) override {
    add(std::string("log:") + m);
    ++logs;
    if (onLog) onLog(m);
  }
  std::vector<std::string> snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events;
  }

 private:
  void add(const std::string& e) {
    std::lock_guard<std::mutex> lock(mutex_);
    events.push_back(e);
  }
  std::mutex mutex_;
};

void (*linkFile(Runtime& runtime, const std::string& module))() {
  std::string bytes = krtest::readFile(krtest::modulePath(module));
  kr::LinkResult linked = kr::linkModule(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                         kr::buildRuntimeTable(runtime));
  EXPECT_EQ(linked.status, kr::LinkResult::kLinked);
  return linked.entry;
}

// Ends a stuck run so a failing test fails instead of hanging.
struct Watchdog {
  explicit Watchdog(Runtime* runtime)
      : thread([this, runtime] {
          for (int i = 0; i < 100 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
          if (!done) {
            fired = true;
            runtime->asyncEnd();
          }
        }) {}
  ~Watchdog() {
    done = true;
    thread.join();
  }
  std::atomic<bool> done{false}, fired{false};
  std::thread thread;
};

}  // namespace

TEST(Client, TableEnumeratesTheSameEntriesTwice) {
  Runtime* runtime = loadRuntime();
  ASSERT_NE(runtime, nullptr) << dlerror();
  EXPECT_EQ(runtime, loadRuntime());
  EXPECT_EQ(runtime->version(), 145);
  std::vector<std::pair<std::string, int>> first, second;
  bool copyRejected = false;
  while (const char* name = runtime->nextSym()) {
    first.push_back({name, runtime->symValue(name)});
    std::string copy = name;
    if (first.size() == 1) copyRejected = runtime->symValue(copy.c_str()) == -1;
  }
  while (const char* name = runtime->nextSym()) second.push_back({name, runtime->symValue(name)});
  EXPECT_EQ(first, second);
  EXPECT_TRUE(copyRejected);
  auto has = [&](const char* n) {
    for (auto& e : first)
      if (e.first == n) return e.second != -1;
    return false;
  };
  EXPECT_TRUE(has("End"));
  EXPECT_TRUE(has("%MilliSecs"));
  EXPECT_TRUE(has("_krDebugStmt"));
}

TEST(Client, StopResumeAndEndFromAnotherThread) {
  Runtime* runtime = loadRuntime();
  ASSERT_NE(runtime, nullptr);
  RecordingDebugger debugger;
  auto entry = linkFile(*runtime, "core_stop");
  Watchdog watchdog(runtime);
  std::thread steering([&] {
    while (!debugger.stopped) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    runtime->asyncRun();
    while (debugger.logs < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    runtime->asyncEnd();
  });
  runtime->execute(entry, &debugger, 0, 0);
  steering.join();
  EXPECT_FALSE(watchdog.fired);
  EXPECT_EQ(debugger.snapshot(), (std::vector<std::string>{"log:before stop", "stop", "run", "log:resumed"}));
}

struct CloseCase {
  const char* module;
  bool quitEvent;  // SDL_QUIT, else a close event for the window
};

class ClosingTheWindow : public ::testing::TestWithParam<CloseCase> {};

TEST_P(ClosingTheWindow, EndsTheProgramAtItsNextBlockingPoint) {
  Runtime* runtime = loadRuntime();
  ASSERT_NE(runtime, nullptr);
  RecordingDebugger debugger;
  bool quit = GetParam().quitEvent;
  debugger.onLog = [quit](const std::string&) {
    SDL_Event e;
    SDL_zero(e);
    if (quit) {
      e.type = SDL_QUIT;
    } else {
      e.type = SDL_WINDOWEVENT;
      e.window.event = SDL_WINDOWEVENT_CLOSE;
      for (Uint32 id = 1; id < 1000; ++id)
        if (SDL_GetWindowFromID(id)) e.window.windowID = id;
    }
    SDL_PushEvent(&e);
  };
  auto entry = linkFile(*runtime, GetParam().module);
  Watchdog watchdog(runtime);
  runtime->execute(entry, &debugger, 0, 0);
  EXPECT_FALSE(watchdog.fired);
  EXPECT_EQ(debugger.snapshot(), std::vector<std::string>{"log:waiting"});
  if (std::string(GetParam().module) == "core_stmt_loop") {
    EXPECT_EQ(debugger.enter[0] + debugger.enter[1] + debugger.enter[2], 6);
    EXPECT_EQ(debugger.firstStmt[0], 1);
    EXPECT_EQ(debugger.firstStmt[1], 7);
  }
}

INSTANTIATE_TEST_SUITE_P(Window, ClosingTheWindow,
                         ::testing::Values(CloseCase{"core_delay_loop", false},
                                           CloseCase{"core_waittimer_loop", false},
                                           CloseCase{"core_stmt_loop", true},
                                           CloseCase{"core_delay_loop", true}));

TEST(Client, AppTitleNamesTheMainWindow) {
  Runtime* runtime = loadRuntime();
  ASSERT_NE(runtime, nullptr);
  RecordingDebugger debugger;
  std::vector<std::string> titles;
  debugger.onLog = [&titles](const std::string&) {
    for (Uint32 id = 1; id < 1000; ++id)
      if (SDL_Window* w = SDL_GetWindowFromID(id)) titles.push_back(SDL_GetWindowTitle(w));
  };
  runtime->execute(linkFile(*runtime, "core_title"), &debugger, 0, 0);
  EXPECT_EQ(titles, (std::vector<std::string>{"Korrin Runtime Window", "Title of mine", ""}));
}
