// The "Start Multiplayer Game" dialog on a real X screen, driven by injected
// mouse and keyboard events: one krrun creates a game through it, a second
// finds that game in its list and joins it with a double click.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <future>

#include "tests/net/net_support.h"

using namespace nettest;

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

class XServer {
 public:
  XServer() {
    for (int n = 211; n < 311 && display_ < 0; ++n)
      if (!exists("/tmp/.X11-unix/X" + std::to_string(n)) && !exists("/tmp/.X" + std::to_string(n) + "-lock"))
        display_ = n;
    if (display_ < 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      std::string name = ":" + std::to_string(display_);
      int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 1);
      dup2(devnull, 2);
      execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr);
      _exit(127);
    }
    std::string socket = "/tmp/.X11-unix/X" + std::to_string(display_);
    for (int i = 0; i < 100 && !exists(socket); ++i) usleep(50000);
    ready_ = exists(socket);
  }
  ~XServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ready() const { return ready_; }
  std::string display() const { return ":" + std::to_string(display_); }

 private:
  int display_ = -1;
  pid_t pid_ = -1;
  bool ready_ = false;
};

std::string shell(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, p)) out += buffer;
  pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// Positions inside the dialog, in pixels from dialog units (x * 6 / 4, y * 13 / 8).
const char* kOpenConnections = "30 42";
const char* kLanEntry = "30 73";  // second row under the connection box
const char* kNameEdit = "60 258";
const char* kCreate = "50 300";
const char* kFirstGame = "40 92";

class Dialog {
 public:
  explicit Dialog(const std::string& display) : env_("DISPLAY=" + display + " ") {
    window_ = shell(env_ + "timeout 15 xdotool search --sync --name 'Start Multiplayer Game' | head -1");
  }
  bool found() const { return !window_.empty(); }
  void click(const char* at, int times = 1) {
    shell(env_ + "xdotool mousemove --window " + window_ + " " + at + " click --repeat " + std::to_string(times) +
          " --delay 80 1");
    usleep(200000);
  }
  void type(const std::string& text) {
    shell(env_ + "xdotool type --delay 20 '" + text + "'");
    usleep(200000);
  }

 private:
  std::string env_;
  std::string window_;
};

std::future<RunResult> startDialogRun(const std::string& display, const std::string& port) {
  return std::async(std::launch::async, [display, port] {
    RunOptions options;
    options.env = {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "KORRIN_TEST_NET_PORT=" + port};
    options.timeoutMs = 90000;
    return krtest::runModule("net_dialog", options);
  });
}

}  // namespace

TEST(StartDialog, CreatesAGameAndAnotherCopyJoinsItFromTheList) {
  if (access("/usr/bin/xdotool", X_OK) != 0) GTEST_SKIP() << "xdotool missing";
  XServer x;
  ASSERT_TRUE(x.ready());
  std::string port = portBase();

  auto maker = startDialogRun(x.display(), port);
  {
    Dialog d(x.display());
    ASSERT_TRUE(d.found());
    d.click(kCreate);  // disabled until a connection is chosen: nothing happens
    d.click(kOpenConnections);
    d.click(kLanEntry);
    d.click(kNameEdit);
    d.type("Dlg Made");
    d.click(kCreate);
  }
  usleep(500000);
  auto finder = startDialogRun(x.display(), port);
  {
    Dialog d(x.display());
    ASSERT_TRUE(d.found());
    d.click(kOpenConnections);
    d.click(kLanEntry);
    // The list fills from the first search; on a slow machine that takes a
    // while, so the double click is repeated until the dialog has ended.
    for (int i = 0; i < 20; ++i) {
      usleep(1500000);
      d.click(kFirstGame, 2);
      if (finder.wait_for(std::chrono::milliseconds(500)) == std::future_status::ready) break;
    }
  }
  RunResult made = maker.get();
  RunResult found = finder.get();
  ASSERT_TRUE(ended(made)) << made.err;
  ASSERT_TRUE(ended(found)) << found.err;
  EXPECT_EQ(value(made, "dialog"), "2");
  EXPECT_EQ(value(found, "dialog"), "1");
  EXPECT_EQ(value(made, "other"), "finder");
  EXPECT_EQ(value(found, "other"), "maker");
  EXPECT_EQ(value(found, "hello"), "60");
  EXPECT_EQ(value(made, "reply"), "61");
}

TEST(StartDialog, WithoutADisplayItGivesZeroAtOnce) {
  RunOptions options;
  options.env.push_back("KORRIN_TEST_NET_PORT=" + portBase());
  RunResult r = krtest::runModule("net_dialog_headless", options);
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(value(r, "dialog"), "0");
  EXPECT_EQ(value(r, "quick"), "1");
  EXPECT_EQ(value(r, "host_after"), "2");
}
