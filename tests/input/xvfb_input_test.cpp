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
#include "tests/support/xvfb_server.h"

using namespace krtest;

namespace {




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
