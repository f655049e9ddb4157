// The stand-alone entry: finds the module, links it and runs it under the
// default debugger (errors in a box) or, with --debug, the console debugger.
#include <unistd.h>

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "host/host_runtime.h"
#include "runtime/linker.h"
#include "runtime/module_check.h"
#include "runtime/module_source.h"
#include "runtime/runtime_api.h"
#include "runtime/program_dir.h"
#include "runtime/text_encoding.h"

namespace kr {
namespace {

const char kUsage[] =
    "Usage: krrun [--debug] FILE\n"
    "       krrun --check FILE\n"
    "       krrun --help\n"
    "\n"
    "Runs a compiled Korrin Basic module in a window.\n"
    "\n"
    "FILE is a module container (.krm) or a Windows executable whose resources\n"
    "carry the module as RT_RCDATA 1111, or a stand-alone game. A stand-alone game\n"
    "(krrun with a module packed into it by krpack) runs its own module and needs\n"
    "no FILE.\n"
    "\n"
    "The program runs until it returns (\"Program has ended\"), calls End, meets a\n"
    "runtime error (shown in an \"Error!\" box and on standard error) or its window\n"
    "is closed; closing the window ends it at its next blocking command.\n"
    "The exit code is 0, or 255 (-1) when no module could be read or it is\n"
    "malformed. Where no display exists the window is kept off screen.\n"
    "\n"
    "Options:\n"
    "  --check   say whether FILE carries a module that could run, and if not,\n"
    "            why; nothing is run. Exit code 0 when it could run, 1 when not.\n"
    "  --debug   check handles in every command and report to standard error:\n"
    "            each DebugLog, information, error, stop and run report is\n"
    "            written as one line (\"debugLog: TEXT\", ...). At a Stop the\n"
    "            program waits for Enter on the terminal, then resumes.\n"
    "  --help    show this text.\n";

// What a traced module reports: the statement about to run (its file name's
// address in the module and its line) and the active functions. Addresses are
// read only when the whole NUL-terminated name lies inside the module.
class TraceState {
 public:
  void setModule(const void* begin, std::size_t length) {
    begin_ = static_cast<const char*>(begin);
    length_ = length;
  }
  void statement(int file, int line) {
    file_ = file;
    line_ = line;
  }
  void enter(int name, int, int) {
    if (depth_++ < kMaxFrames) frames_.push_back(Frame{name, file_, line_});
  }
  void leave() {
    if (depth_ == 0) return;
    if (--depth_ < frames_.size()) {
      file_ = frames_.back().callerFile;
      line_ = frames_.back().callerLine;
      frames_.pop_back();
    }
  }
  // " (game.kb:120)" for the current statement, "" when untraced.
  std::string where() const {
    std::string file = text(file_);
    return file.empty() ? std::string() : " (" + file + ":" + std::to_string(line_) + ")";
  }
  // One line per active function, innermost first: "Name called at game.kb:30".
  std::vector<std::string> callStack() const {
    std::vector<std::string> lines;
    for (auto it = frames_.rbegin(); it != frames_.rend() && lines.size() < 20; ++it) {
      std::string name = text(it->name), file = text(it->callerFile);
      if (name.empty()) continue;
      lines.push_back(name + (file.empty() ? "" : " called at " + file + ":" + std::to_string(it->callerLine)));
    }
    if (depth_ > 20) lines.push_back("... " + std::to_string(depth_ - 20) + " more");
    return lines;
  }

 private:
  static constexpr std::size_t kMaxFrames = 1 << 20;
  struct Frame {
    int name, callerFile, callerLine;
  };
  std::string text(int address) const {
    const char* p = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(address)));
    if (!begin_ || p < begin_ || p >= begin_ + length_) return std::string();
    const void* nul = std::memchr(p, 0, static_cast<std::size_t>(begin_ + length_ - p));
    return nul ? std::string(p) : std::string();
  }
  const char* begin_ = nullptr;
  std::size_t length_ = 0;
  int file_ = 0, line_ = 0;
  std::vector<Frame> frames_;
  std::size_t depth_ = 0;
};

class DefaultDebugger final : public Debugger {
 public:
  explicit DefaultDebugger(TraceState& trace) : trace_(trace) {}
  void debugRun() override {}
  void debugStop() override {}
  void debugStmt(int a, int b) override { trace_.statement(a, b); }
  void debugEnter(int a, int b, int c) override { trace_.enter(a, b, c); }
  void debugLeave() override { trace_.leave(); }
  void debugInfo(const char*) override {}
  void debugError(const char* message) override { showMessageBox("Error!", (message + trace_.where()).c_str()); }
  void debugLog(const char*) override {}

 private:
  TraceState& trace_;
};

class ConsoleDebugger final : public Debugger {
 public:
  ConsoleDebugger(Runtime* runtime, TraceState& trace) : runtime_(runtime), trace_(trace) {}
  void debugRun() override { line("debugRun", nullptr); }
  void debugStop() override {
    std::string where = trace_.where();
    line("debugStop", ((where.empty() ? std::string() : "stopped" + where + ", ") + "press Enter to continue").c_str());
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
  void debugStmt(int a, int b) override { trace_.statement(a, b); }
  void debugEnter(int a, int b, int c) override { trace_.enter(a, b, c); }
  void debugLeave() override { trace_.leave(); }
  void debugInfo(const char* message) override { line("debugInfo", message); }
  void debugError(const char* message) override {
    line("debugError", (message + trace_.where()).c_str());
    for (const std::string& frame : trace_.callStack()) line("debugStack", frame.c_str());
  }
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
  TraceState& trace_;
};

constexpr int kExitUnableToRun = -1;
constexpr int kExitUsage = 2;
constexpr int kExitNotRunnable = 1;

// --check: one line on standard output, "FILE: runnable SOURCE (DETAIL)" or
// "FILE: not runnable: SOURCE: DETAIL".
int checkOnly(const char* file) {
  Runtime* runtime = runtimeGetRuntime();
  ModuleCheck check;
  try {
    check = checkModuleFile(file, buildRuntimeTable(*runtime));
  } catch (const std::bad_alloc&) {
    check.source = "file";
    check.detail = "it is too large to read into memory";
  }
  if (check.runnable) {
    std::printf("%s: runnable %s (%s)\n", file, check.source.c_str(), check.detail.c_str());
    return 0;
  }
  std::printf("%s: not runnable: %s: %s\n", file, check.source.c_str(), check.detail.c_str());
  return kExitNotRunnable;
}

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
  bool check = false;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--debug")) {
      debug = true;
    } else if (!std::strcmp(argv[i], "--check")) {
      check = true;
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
  if (check) {
    if (!file) {
      std::fputs("krrun: --check needs a FILE\nTry 'krrun --help'.\n", stderr);
      return kExitUsage;
    }
    return checkOnly(file);
  }
  chooseVideoDriver();

  std::vector<std::uint8_t> image;
  std::size_t offset = 0, size = 0;
  if (readPackedModule(selfPath(), image)) {
    size = image.size();
    setProgramFile(selfPath());
  } else {
    if (!file) return unableToRun();
    if (readPackedModule(file, image)) {
      size = image.size();  // a stand-alone game named as FILE runs its module
    } else {
      if (!readWholeFile(file, image)) return unableToRun();
      moduleInFile(image, offset, size);
    }
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
  TraceState trace;
  trace.setModule(linked.mapping, linked.mappingLength);
  DefaultDebugger quiet(trace);
  ConsoleDebugger console(runtime, trace);
  Debugger* debugger = debug ? static_cast<Debugger*>(&console) : &quiet;
  runtime->execute(linked.entry, debugger, debug ? 1 : 0, 0);
  runtime->shutdown();
  return 0;
}
