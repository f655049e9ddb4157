// A development environment runs a game twice in one process: the second run's
// audio starts as clean as the first.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "runtime/linker.h"
#include "runtime/runtime_api.h"
#include "tests/audio/audio_files.h"
#include "tests/support/module_runner.h"

namespace {

class LogDebugger : public Debugger {
 public:
  std::vector<std::string> lines;
  void debugRun() override {}
  void debugStop() override {}
  void debugStmt(int, int) override {}
  void debugEnter(int, int, int) override {}
  void debugLeave() override {}
  void debugInfo(const char* m) override { lines.push_back(std::string("info:") + m); }
  void debugError(const char* m) override { lines.push_back(std::string("error:") + m); }
  void debugLog(const char* m) override { lines.push_back(m); }
};

}  // namespace

TEST(AudioRuns, ASecondRunInOneProcessStartsClean) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("ALSOFT_DRIVERS", "null", 1);
  void* library = dlopen((std::string(KR_BUILD_DIR) + "/libkrruntime.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto get = reinterpret_cast<Runtime* (*)()>(dlsym(library, "runtimeGetRuntime"));
  Runtime* runtime = get();
  krtest::TempDir dir;
  audiotest::writeTone(dir.file("tone.wav"), SF_FORMAT_WAV, 440, 0.5);
  audiotest::writeTone(dir.file("track01.wav"), SF_FORMAT_WAV, 440, 0.5);
  char here[4096];
  ASSERT_TRUE(getcwd(here, sizeof here));
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  std::string bytes = krtest::readFile(krtest::modulePath("audio_two_runs"));
  runtime->startup(nullptr);
  for (int run = 0; run < 2; ++run) {
    kr::LinkResult linked = kr::linkModule(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                           kr::buildRuntimeTable(*runtime));
    ASSERT_EQ(linked.status, kr::LinkResult::kLinked);
    LogDebugger debugger;
    runtime->execute(linked.entry, &debugger, 1, 0);
    EXPECT_EQ(debugger.lines, (std::vector<std::string>{"sound=1", "music=1", "cd=1", "info:Program has ended"}))
        << "run " << run;
  }
  runtime->shutdown();
  ASSERT_EQ(chdir(here), 0);
}
