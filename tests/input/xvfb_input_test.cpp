// Real X input: keys and pointer moves sent through XTEST (xdotool) to a module
// running under Xvfb with the x11 video driver, in a 2x scaled window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/module_runner.h"

using namespace krtest;

namespace {

bool onPath(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// An Xvfb server of 1280 x 1024 on a free display number.
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
      execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", nullptr);
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

std::string value(const RunResult& r, const std::string& label) {
  for (const std::string& line : r.logs())
    if (line.compare(0, label.size() + 1, label + "=") == 0) return line.substr(label.size() + 1);
  return "(missing " + label + ")";
}

TEST(XvfbInput, KeysAndPointerInAScaledWindow) {
  if (!onPath("Xvfb") || !onPath("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is not installed";
  XServer server;
  ASSERT_TRUE(server.ready()) << "Xvfb did not start";
  RunOptions options;
  options.env = {"DISPLAY=" + server.display(), "SDL_VIDEODRIVER=x11"};
  options.timeoutMs = 60000;
  RunResult r = runModule("input_xvfb", options);
  ASSERT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;

  EXPECT_EQ(value(r, "x"), "50");
  EXPECT_EQ(value(r, "y"), "25");
  EXPECT_EQ(value(r, "edge_x"), "79");
  EXPECT_EQ(value(r, "edge_y"), "59");
  EXPECT_EQ(value(r, "left_down"), "1");
  EXPECT_EQ(value(r, "drag_x"), "0");
  EXPECT_EQ(value(r, "drag_y"), "0");
  EXPECT_EQ(value(r, "left_up"), "0");
  EXPECT_EQ(value(r, "right_hits"), "1");
  EXPECT_EQ(value(r, "moved_x"), "30");
  EXPECT_EQ(value(r, "moved_speed"), "0");
  EXPECT_EQ(value(r, "relative_x"), "35");
  EXPECT_EQ(value(r, "relative_y"), "23");

  EXPECT_EQ(value(r, "space_hits"), "2");
  EXPECT_EQ(value(r, "key_a"), "97");
  EXPECT_EQ(value(r, "key_shift"), "0");
  EXPECT_EQ(value(r, "key_shift_a"), "65");
  EXPECT_EQ(value(r, "key_shift_1"), "33");
  EXPECT_EQ(value(r, "key_left"), "31");
  EXPECT_EQ(value(r, "key_kp_star"), "42");
  EXPECT_EQ(value(r, "key_escape"), "27");
  EXPECT_EQ(value(r, "up_held"), "1");
  EXPECT_EQ(value(r, "up_released"), "0");
  EXPECT_EQ(value(r, "waitkey"), "98");
}

}  // namespace
