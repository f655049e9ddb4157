// Cost of the polled input commands: module code calls KeyDown, KeyHit,
// MouseX and JoyX (no joystick attached) 10 million times each in the
// runtime's shared library, beside the same loop calling the trivial routine
// _krAbs (the boundary benchmark's baseline, which touches no global data) and,
// for reference, the graphics command ColorRed. The module marks the start and
// end of each loop with DebugLog; the debugger takes the time.
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
constexpr int kRounds = 9;

struct Case {
  const char* name;
  const char* link;
  bool floatResult;
};

// The baselines first; every loop of a run is timed in the same run, so a busy
// machine slows them alike.
const Case kCases[] = {{"_krAbs (trivial routine)", "__krAbs", false},
                       {"ColorRed() (for reference)", "_fcolorred", false},
                       {"KeyDown(30)", "_fkeydown", false},
                       {"KeyHit(30)", "_fkeyhit", false},
                       {"MouseX()", "_fmousex", false},
                       {"JoyX(30), no joystick", "_fjoyx", true}};
constexpr int kCaseCount = sizeof kCases / sizeof kCases[0];

class ClockDebugger : public Debugger {
 public:
  krbench::Clock::time_point marks[2 * kCaseCount];
  int count = 0;
  void debugRun() override {}
  void debugStop() override {}
  void debugStmt(int, int) override {}
  void debugEnter(int, int, int) override {}
  void debugLeave() override {}
  void debugInfo(const char*) override {}
  void debugError(const char* m) override { std::fprintf(stderr, "error: %s\n", m); }
  void debugLog(const char*) override {
    if (count < 2 * kCaseCount) marks[count++] = krbench::Clock::now();
  }
};

// For each case: DebugLog(""); kCalls times { routine(30) [; drop the float] }; DebugLog("").
kr::ModuleContainer loopsModule() {
  kr::ModuleContainer m;
  std::vector<std::uint8_t>& c = m.code;
  auto call = [&](const char* routine) {
    c.push_back(0xE8);  // call routine
    m.relative.push_back({routine, static_cast<std::uint32_t>(c.size())});
    c.insert(c.end(), {0xFC, 0xFF, 0xFF, 0xFF, 0x83, 0xC4, 0x04});  // add esp, 4
  };
  c.push_back(0x53);  // push ebx
  for (const Case& k : kCases) {
    c.insert(c.end(), {0x6A, 0x00});  // push 0 (the empty string)
    call("_fdebuglog");
    c.push_back(0xB9);  // mov ecx, kCalls
    krbench::put32(c, kCalls);
    std::size_t loop = c.size();
    c.insert(c.end(), {0x51, 0x6A, 0x1E});  // push ecx; push 30
    call(k.link);
    if (k.floatResult) c.insert(c.end(), {0xDD, 0xD8});  // fstp st(0)
    c.insert(c.end(), {0x59, 0x49, 0x0F, 0x85});         // pop ecx; dec ecx; jnz loop
    krbench::put32(c, static_cast<std::uint32_t>(loop - (c.size() + 4)));
    c.insert(c.end(), {0x6A, 0x00});
    call("_fdebuglog");
  }
  c.insert(c.end(), {0x5B, 0xC3});  // pop ebx; ret
  return m;
}

Runtime* loadRuntime() {
  void* library = dlopen(KR_BUILD_DIR "/libkrruntime.so", RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  auto get = reinterpret_cast<Runtime* (*)()>(dlsym(library, "runtimeGetRuntime"));
  return get ? get() : nullptr;
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  Runtime* runtime = loadRuntime();
  if (!runtime) {
    std::fprintf(stderr, "cannot load libkrruntime.so: %s\n", dlerror());
    return 1;
  }
  std::vector<std::uint8_t> bytes = loopsModule().bytes();
  double best[kCaseCount];
  std::fill(best, best + kCaseCount, 1e9);
  for (int round = 0; round < kRounds; ++round) {
    kr::LinkResult linked = kr::linkModule(bytes.data(), bytes.size(), kr::buildRuntimeTable(*runtime));
    if (linked.status != kr::LinkResult::kLinked) return 1;
    ClockDebugger debugger;
    runtime->execute(linked.entry, &debugger, 0, 0);
    kr::releaseLinkedModule(linked);
    if (debugger.count < 2 * kCaseCount) return 1;
    for (int i = 0; i < kCaseCount; ++i)
      best[i] = std::min(best[i], std::chrono::duration<double>(debugger.marks[2 * i + 1] - debugger.marks[2 * i]).count());
  }
  std::printf("polled input commands, %u calls from module code each (best of %d runs)\n", kCalls, kRounds);
  krbench::Targets targets;
  for (int i = 0; i < kCaseCount; ++i) {
    std::printf("  %-28s  %8.2f ms  %6.2f ns/call\n", kCases[i].name, best[i] * 1e3, best[i] * 1e9 / kCalls);
  }
  for (int i = 2; i < kCaseCount; ++i)
    targets.atMost((std::string(kCases[i].name) + " / _krAbs").c_str(), best[i] / best[0], 1.5);
  return targets.exitCode();
}
