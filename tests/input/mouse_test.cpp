// The mouse as a module sees it, fed by pointer and button events pushed into
// the window's queue, in every display kind.
#include <gtest/gtest.h>

#include <vector>

#include "tests/input/in_process.h"

using intest::ModuleRun;

namespace {

std::vector<int> gCursorShown;  // SDL's cursor state at each "hook cursor"

const ModuleRun& mouseRun() {
  static const ModuleRun run =
      intest::runInProcess("input_mouse", [](const std::string&) { gCursorShown.push_back(SDL_ShowCursor(SDL_QUERY)); });
  return run;
}

TEST(Mouse, PositionsAreCanvasPixelsInEveryWindow) {
  const ModuleRun& r = mouseRun();
  EXPECT_EQ(r.value("startup_x"), "123");
  EXPECT_EQ(r.value("startup_y"), "45");
  EXPECT_EQ(r.value("fixed_x"), "50");
  EXPECT_EQ(r.value("fixed_y"), "25");
  EXPECT_EQ(r.value("scaled_x"), "50");
  EXPECT_EQ(r.value("scaled_y"), "25");
  EXPECT_EQ(r.value("edge_x"), "79") << "the right edge of a scaled window is width - 1";
  EXPECT_EQ(r.value("edge_y"), "59");
}

TEST(Mouse, DraggingOutsideTheWindowStaysOnTheCanvas) {
  const ModuleRun& r = mouseRun();
  EXPECT_EQ(r.value("drag_x"), "0");
  EXPECT_EQ(r.value("drag_y"), "59");
  EXPECT_EQ(r.value("drag2_x"), "79");
  EXPECT_EQ(r.value("drag2_y"), "0");
}

TEST(Mouse, ButtonsAreLeftRightMiddle) {
  const ModuleRun& r = mouseRun();
  EXPECT_EQ(r.value("down_left"), "1");
  EXPECT_EQ(r.value("down_right"), "1");
  EXPECT_EQ(r.value("down_middle"), "1");
  EXPECT_EQ(r.value("first_press"), "1");
  EXPECT_EQ(r.value("second_press"), "2");  // SDL button 3 is the right button
  EXPECT_EQ(r.value("third_press"), "3");
  EXPECT_EQ(r.value("no_press"), "0");
  EXPECT_EQ(r.value("hit_left"), "1");
  EXPECT_EQ(r.value("hit_left_again"), "0");
  EXPECT_EQ(r.value("up_left"), "0");
  EXPECT_EQ(r.value("flushed_hits"), "0");
  EXPECT_EQ(r.value("flushed_queue"), "0");
  EXPECT_EQ(r.value("waitmouse"), "2");
}

TEST(Mouse, MoveMouseMapsBothWaysAndResetsTheSpeeds) {
  const ModuleRun& r = mouseRun();
  EXPECT_EQ(r.value("moved_x"), "30");
  EXPECT_EQ(r.value("moved_xspeed"), "0");
  EXPECT_EQ(r.value("moved_yspeed"), "0");
  // The pointer went to the window position showing (30, 20), which maps back.
  EXPECT_EQ(r.value("moved_pumped_x"), "30");
  EXPECT_EQ(r.value("moved_pumped_y"), "20");
  EXPECT_EQ(r.value("speed_x"), "-20");
  EXPECT_EQ(r.value("speed_y"), "-15");
  EXPECT_EQ(r.value("speed_x_again"), "0");
}

TEST(Mouse, BadButtonsAndHugeCoordinates) {
  const ModuleRun& r = mouseRun();
  EXPECT_EQ(r.value("bad_buttons"), "0");
  EXPECT_EQ(r.value("huge_x"), "2147483647");
  EXPECT_EQ(r.value("huge_y"), "-2147483648");
  EXPECT_EQ(r.value("huge_speed_x"), "0");
  EXPECT_EQ(r.value("huge_pumped_x"), "79");
  EXPECT_EQ(r.value("huge_pumped_y"), "0");
}

TEST(Mouse, FullScreenStartsAtTheOriginAndMapsTheWholeDesktop) {
  const ModuleRun& r = mouseRun();
  EXPECT_EQ(r.value("full_start_x"), "0");
  EXPECT_EQ(r.value("full_start_y"), "0");
  EXPECT_EQ(r.value("full_corner_x"), "79");
  EXPECT_EQ(r.value("full_corner_y"), "59");
  EXPECT_EQ(r.value("full_moved_x"), "40");
  EXPECT_EQ(r.value("full_moved_y"), "30");
  EXPECT_EQ(r.value("full_key_before_pause"), "1");
  EXPECT_EQ(r.value("full_key_after_pause"), "0");
  EXPECT_EQ(r.value("full_button_after_pause"), "0");
  EXPECT_EQ(r.value("full_x_after_pause"), "0");
  EXPECT_EQ(r.value("full_again_x"), "0");
  // The pointer is hidden in full screen and shown again in a window.
  EXPECT_EQ(gCursorShown, (std::vector<int>{SDL_DISABLE, SDL_ENABLE}));
}

TEST(Mouse, ClosingTheWindowEndsWaitMouseQuietly) {
  const ModuleRun& r = mouseRun();
  EXPECT_FALSE(r.watchdogFired);
  EXPECT_EQ(r.value("after_close"), "(missing after_close)");
  for (const std::string& report : r.reports) EXPECT_NE(report.rfind("error:", 0), 0u) << report;
}

}  // namespace
