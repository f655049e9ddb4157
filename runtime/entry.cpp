// The stand-alone entry: finds the module, links it and runs it under the
// default debugger (errors in a box) or, with --debug, the console debugger.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "host/host_runtime.h"
#include "runtime/linker.h"
#include "runtime/module_source.h"
#include "runtime/runtime_api.h"
#include "runtime/program_dir.h"
#include "runtime/text_encoding.h"

namespace kr {
namespace {

const char kUsage[] =
    "Usage: krrun [--debug] FILE\n"
    "       krrun --help\n"
    "\n"
    "Runs a compiled Korrin Basic module in a window.\n"
    "\n"
    "FILE is a module container (.krm) or a Windows executable whose resources\n"
    "carry the module as RT_RCDATA 1111. A stand-alone game (krrun with a module\n"
    "packed into it by krpack) runs its own module and needs no FILE.\n"
    "\n"
    "The program runs until it returns (\"Program has ended\"), calls End, meets a\n"
    "runtime error (shown in an \"Error!\" box and on standard error) or its window\n"
    "is closed; closing the window ends it at its next blocking command.\n"
    "The exit code is 0, or 255 (-1) when no module could be read or it is\n"
    "malformed. Where no display exists the window is kept off screen.\n"
    "\n"
    "Options:\n"
    "  --debug   check handles in every command and report to standard error:\n"
    "            each DebugLog, information, error, stop and run report is\n"
    "            written as one line (\"debugLog: TEXT\", ...). At a Stop the\n"
    "            program waits for Enter on the terminal, then resumes.\n"
    "  --help    show this text.\n";

class DefaultDebugger final : public Debugger {
 public:
  void debugRun() override {}
  void debugStop() override {}
  void debugStmt(int, int) override {}
  void debugEnter(int, int, int) override {}
  void debugLeave() override {}
  void debugInfo(const char*) override {}
  void debugError(const char* message) override { showMessageBox("Error!", message); }
  void debugLog(const char*) override {}
};

class ConsoleDebugger final : public Debugger {
 public:
  explicit ConsoleDebugger(Runtime* runtime) : runtime_(runtime) {}
  void debugRun() override { line("debugRun", nullptr); }
  void debugStop() override {
    line("debugStop", "press Enter to continue");
    // The pump blocks while paused; a reader thread resumes the program through
    // the interface a development environment would use.
    Runtime* runtime = runtime_;
    std::thread([runtime] {
      int c;
      while ((c = std::getchar()) != EOF && c != '\n') {
      }
      runtime->asyncRun();
    }).detach();
  }
  void debugStmt(int, int) override {}
  void debugEnter(int, int, int) override {}
  void debugLeave() override {}
  void debugInfo(const char* message) override { line("debugInfo", message); }
  void debugError(const char* message) override { line("debugError", message); }
  void debugLog(const char* message) override { line("debugLog", message); }

 private:
  static void line(const char* kind, const char* text) {
    if (text) {
      std::string utf8;
      try {
        utf8 = windows1252ToUtf8(text);
      } catch (const std::exception&) {
        utf8 = "(text too long to show)";
      }
      std::fprintf(stderr, "%s: %s\n", kind, utf8.c_str());
    } else {
      std::fprintf(stderr, "%s\n", kind);
    }
    std::fflush(stderr);
  }
  Runtime* runtime_;
};

constexpr int kExitUnableToRun = -1;
constexpr int kExitUsage = 2;

int unableToRun() {
  showMessageBox(nullptr, "Unable to run Korrin Basic module");
  return kExitUnableToRun;
}

std::string selfPath() {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return std::string();
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

// Headless machines get the off-screen video driver, so a window "opens" anywhere.
void chooseVideoDriver() {
  if (!getenv("SDL_VIDEODRIVER") && !getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY"))
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
}

}  // namespace
}  // namespace kr

extern "C" __attribute__((visibility("default"))) int krWinMain(int argc, char** argv) {
  using namespace kr;
  bool debug = false;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--debug")) {
      debug = true;
    } else if (argv[i][0] == '-' && argv[i][1]) {
      std::fprintf(stderr, "krrun: unknown option '%s'\nTry 'krrun --help'.\n", argv[i]);
      return kExitUsage;
    } else if (file) {
      std::fprintf(stderr, "krrun: more than one module named ('%s')\nTry 'krrun --help'.\n", argv[i]);
      return kExitUsage;
    } else {
      file = argv[i];
    }
  }
  chooseVideoDriver();

  std::vector<std::uint8_t> image;
  std::size_t offset = 0, size = 0;
  if (readPackedModule(selfPath(), image)) {
    size = image.size();
    setProgramFile(selfPath());
  } else {
    if (!file || !readWholeFile(file, image)) return unableToRun();
    moduleInFile(image, offset, size);
    setProgramFile(file);
  }

  Runtime* runtime = runtimeGetRuntime();
  runtime->startup(nullptr);
  LinkResult linked = linkModule(image.data() + offset, size, buildRuntimeTable(*runtime));
  std::vector<std::uint8_t>().swap(image);
  if (linked.status == LinkResult::kMalformed) return unableToRun();
  if (linked.status == LinkResult::kUnresolved) {
    showMessageBox(nullptr, ("Can't find symbol: " + linked.missingName).c_str());
    return 0;
  }
  DefaultDebugger quiet;
  ConsoleDebugger console(runtime);
  Debugger* debugger = debug ? static_cast<Debugger*>(&console) : &quiet;
  runtime->execute(linked.entry, debugger, debug ? 1 : 0, 0);
  runtime->shutdown();
  return 0;
}
