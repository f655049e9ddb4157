// Cost of the polled input commands: module code calls KeyDown, KeyHit,
// MouseX and JoyX (no joystick attached) 10 million times each in the shipped
// runtime, beside the same loop calling a trivial registered routine (_krAbs).
// The module marks the start and end of each loop with DebugLog; the debugger
// takes the time.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "bench/bench_support.h"
#include "runtime/linker.h"
#include "runtime/runtime_api.h"

namespace {

constexpr std::uint32_t kCalls = 10000000;

class ClockDebugger : public Debugger {
 public:
  std::chrono::steady_clock::time_point marks[2];
  int count = 0;
  void debugRun() override {}
  void debugStop() override {}
  void debugStmt(int, int) override {}
  void debugEnter(int, int, int) override {}
  void debugLeave() override {}
  void debugInfo(const char*) override {}
  void debugError(const char* m) override { std::fprintf(stderr, "error: %s\n", m); }
  void debugLog(const char*) override {
    if (count < 2) marks[count++] = std::chrono::steady_clock::now();
  }
};

// DebugLog(""); loop kCalls times { routine(30) [; drop a float result] }; DebugLog("")
kr::ModuleContainer loopModule(const std::string& routine, bool floatResult) {
  kr::ModuleContainer m;
  std::vector<std::uint8_t>& c = m.code;
  auto debugLog = [&] {
    c.insert(c.end(), {0x6A, 0x00, 0xE8});  // push 0; call _fdebuglog
    m.relative.push_back({"_fdebuglog", static_cast<std::uint32_t>(c.size())});
    c.insert(c.end(), {0xFC, 0xFF, 0xFF, 0xFF, 0x83, 0xC4, 0x04});  // add esp, 4
  };
  c.push_back(0x53);  // push ebx
  debugLog();
  c.push_back(0xB9);  // mov ecx, kCalls
  krbench::put32(c, kCalls);
  std::size_t loop = c.size();
  c.insert(c.end(), {0x51, 0x6A, 0x1E, 0xE8});  // push ecx; push 30; call routine
  m.relative.push_back({routine, static_cast<std::uint32_t>(c.size())});
  c.insert(c.end(), {0xFC, 0xFF, 0xFF, 0xFF, 0x83, 0xC4, 0x04});  // add esp, 4
  if (floatResult) c.insert(c.end(), {0xDD, 0xD8});                // fstp st(0)
  c.insert(c.end(), {0x59, 0x49, 0x0F, 0x85});                     // pop ecx; dec ecx; jnz loop
  krbench::put32(c, static_cast<std::uint32_t>(loop - (c.size() + 4)));
  debugLog();
  c.insert(c.end(), {0x5B, 0xC3});  // pop ebx; ret
  return m;
}

Runtime* loadRuntime() {
  void* library = dlopen(KR_BUILD_DIR "/libkrruntime.so", RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  auto get = reinterpret_cast<Runtime* (*)()>(dlsym(library, "runtimeGetRuntime"));
  return get ? get() : nullptr;
}

// Best of 5 runs, in seconds; negative when the module did not run.
double timeLoop(Runtime& runtime, const std::string& routine, bool floatResult) {
  std::vector<std::uint8_t> bytes = loopModule(routine, floatResult).bytes();
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    kr::LinkResult linked = kr::linkModule(bytes.data(), bytes.size(), kr::buildRuntimeTable(runtime));
    if (linked.status != kr::LinkResult::kLinked) return -1;
    ClockDebugger debugger;
    runtime.execute(linked.entry, &debugger, 0, 0);
    kr::releaseLinkedModule(linked);
    if (debugger.count < 2) return -1;
    best = std::min(best, std::chrono::duration<double>(debugger.marks[1] - debugger.marks[0]).count());
  }
  return best;
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  Runtime* runtime = loadRuntime();
  if (!runtime) {
    std::fprintf(stderr, "cannot load libkrruntime.so: %s\n", dlerror());
    return 1;
  }
  double trivial = timeLoop(*runtime, "__krAbs", false);
  std::printf("input commands, %u calls from module code each (best of 5)\n", kCalls);
  std::printf("  _krAbs (trivial routine)      %8.2f ms  %6.2f ns/call\n", trivial * 1e3, trivial * 1e9 / kCalls);
  struct Case {
    const char* name;
    const char* link;
    bool floatResult;
  };
  krbench::Targets targets;
  for (Case c : {Case{"KeyDown(30)", "_fkeydown", false}, Case{"KeyHit(30)", "_fkeyhit", false},
                 Case{"MouseX()", "_fmousex", false}, Case{"JoyX(30), no joystick", "_fjoyx", true}}) {
    double t = timeLoop(*runtime, c.link, c.floatResult);
    std::printf("  %-28s  %8.2f ms  %6.2f ns/call\n", c.name, t * 1e3, t * 1e9 / kCalls);
    targets.atMost((std::string(c.name) + " / trivial routine").c_str(), t / trivial, 1.5);
  }
  return targets.exitCode();
}
