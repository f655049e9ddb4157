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




TEST(XvfbInput, KeysAndPointerInAScaledWindow) {
  if (!onPath("Xvfb") || !onPath("xdotool")) GTEST_SKIP() << "Xvfb or xdotool is not installed";
  XServer server;
  ASSERT_TRUE(server.ready()) << "Xvfb did not start";
  RunOptions options;
  options.env = {"DISPLAY=" + server.display(), "SDL_VIDEODRIVER=x11"};
  options.timeoutMs = 60000;
  RunResult r = runModule("input_xvfb", options);
  ASSERT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;

  EXPECT_EQ(r.value("x"), "50");
  EXPECT_EQ(r.value("y"), "25");
  EXPECT_EQ(r.value("edge_x"), "79");
  EXPECT_EQ(r.value("edge_y"), "59");
  EXPECT_EQ(r.value("left_down"), "1");
  EXPECT_EQ(r.value("drag_x"), "0");
  EXPECT_EQ(r.value("drag_y"), "0");
  EXPECT_EQ(r.value("left_up"), "0");
  EXPECT_EQ(r.value("right_hits"), "1");
  EXPECT_EQ(r.value("moved_x"), "30");
  EXPECT_EQ(r.value("moved_speed"), "0");
  EXPECT_EQ(r.value("relative_x"), "35");
  EXPECT_EQ(r.value("relative_y"), "23");

  EXPECT_EQ(r.value("space_hits"), "2");
  EXPECT_EQ(r.value("key_a"), "97");
  EXPECT_EQ(r.value("key_shift"), "0");
  EXPECT_EQ(r.value("key_shift_a"), "65");
  EXPECT_EQ(r.value("key_shift_1"), "33");
  EXPECT_EQ(r.value("key_left"), "31");
  EXPECT_EQ(r.value("key_kp_star"), "42");
  EXPECT_EQ(r.value("key_escape"), "27");
  EXPECT_EQ(r.value("up_held"), "1");
  EXPECT_EQ(r.value("up_released"), "0");
  EXPECT_EQ(r.value("waitkey"), "98");
}

}  // namespace
