// Joysticks as a module sees them, on SDL's virtual joysticks attached in this
// process before the run: types, axes and directions, hats, buttons, bad
// ports, unplugging, and the neutral values with no joystick at all.
#include <gtest/gtest.h>

#include "tests/input/in_process.h"

using intest::ModuleRun;

namespace {

struct VirtualPads {
  SDL_Joystick* pad = nullptr;    // port 0: 3 axes, 8 buttons, 1 hat
  SDL_Joystick* stick = nullptr;  // port 1: 2 axes, 4 buttons
  bool ready = false;

  VirtualPads() {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0 || SDL_NumJoysticks() != 0) return;
    int a = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 3, 8, 1);
    int b = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_FLIGHT_STICK, 2, 4, 0);
    pad = SDL_JoystickOpen(a);
    stick = SDL_JoystickOpen(b);
    ready = pad && stick;
  }
  ~VirtualPads() {
    for (SDL_Joystick* j : {pad, stick})
      if (j) {
        SDL_JoystickClose(j);
      }
    while (SDL_NumJoysticks() > 0 && SDL_JoystickIsVirtual(0)) SDL_JoystickDetachVirtual(0);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
  }

  void act(const std::string& name) {
    if (name == "extremes") {
      SDL_JoystickSetVirtualAxis(pad, 0, -32768);
      SDL_JoystickSetVirtualAxis(pad, 1, 32767);
      SDL_JoystickSetVirtualAxis(pad, 2, 0);
      SDL_JoystickSetVirtualAxis(stick, 0, 32767);
    } else if (name == "thirds") {
      SDL_JoystickSetVirtualAxis(pad, 0, -10900);
      SDL_JoystickSetVirtualAxis(pad, 1, 10950);
    } else if (name == "hat") {
      SDL_JoystickSetVirtualAxis(pad, 0, 0);
      SDL_JoystickSetVirtualAxis(pad, 1, 0);
      SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_LEFTDOWN);
    } else if (name == "buttons") {
      SDL_JoystickSetVirtualHat(pad, 0, SDL_HAT_CENTERED);
      SDL_JoystickSetVirtualButton(pad, 0, 1);
      SDL_JoystickSetVirtualButton(pad, 4, 1);
    } else if (name == "release") {
      for (int b = 0; b < 8; ++b) SDL_JoystickSetVirtualButton(pad, b, 0);
    } else if (name == "press3") {
      SDL_JoystickSetVirtualButton(pad, 2, 1);
    } else if (name == "unplug") {
      SDL_JoystickSetVirtualAxis(pad, 0, 32767);
      SDL_JoystickDetachVirtual(0);
    }
  }
};

TEST(Joystick, VirtualPadsThroughEveryCommand) {
  VirtualPads pads;
  if (!pads.ready) GTEST_SKIP() << "no virtual joysticks here (or a real one is attached): " << SDL_GetError();
  ModuleRun r = intest::runInProcess("input_joy", [&](const std::string& name) { pads.act(name); });
  ASSERT_FALSE(r.watchdogFired) << "stuck after " << (r.logs.empty() ? "" : r.logs.back());

  // Type 1 for what SDL knows as a game controller, else 2; 0 outside the port list.
  EXPECT_EQ(r.value("type0"), "1");
  EXPECT_EQ(r.value("type1"), "2");
  EXPECT_EQ(r.value("type2"), "0");
  EXPECT_EQ(r.value("type_neg"), "0");

  // Axes: the raw range maps to -1.0 ... +1.0.
  EXPECT_EQ(r.value("x_min"), "-1000000");
  EXPECT_NEAR(r.number("y_max"), 1000000, 2);
  EXPECT_NEAR(r.number("z_centre"), 0, 20);
  EXPECT_EQ(r.value("xdir_min"), "-1");
  EXPECT_EQ(r.value("ydir_max"), "1");
  EXPECT_EQ(r.value("zdir_centre"), "0");
  EXPECT_NEAR(r.number("x1"), 1000000, 2);
  EXPECT_EQ(r.value("missing_z"), "0") << "an axis the device lacks reads 0.0";
  EXPECT_EQ(r.value("missing_zdir"), "0");
  EXPECT_EQ(r.value("xdir_inside_third"), "0");
  EXPECT_EQ(r.value("ydir_beyond_third"), "1");

  // A hat steers like the stick.
  EXPECT_EQ(r.value("hat_xdir"), "-1");
  EXPECT_EQ(r.value("hat_ydir"), "1");
  EXPECT_EQ(r.value("hat_x"), "-1000000");

  // Buttons: held across a thousand reads, one hit each, queued in order.
  EXPECT_EQ(r.value("held_reads"), "1000");
  EXPECT_EQ(r.value("down5"), "1");
  EXPECT_EQ(r.value("down2"), "0");
  EXPECT_EQ(r.value("hits1"), "1");
  EXPECT_EQ(r.value("hits1_again"), "0");
  EXPECT_EQ(r.value("press_a"), "1");
  EXPECT_EQ(r.value("press_b"), "5");
  EXPECT_EQ(r.value("press_none"), "0");
  EXPECT_EQ(r.value("other_port"), "0");
  EXPECT_EQ(r.value("bad_buttons"), "0");
  EXPECT_EQ(r.value("bad_ports"), "0");
  EXPECT_EQ(r.value("waitjoy"), "3");
  EXPECT_EQ(r.value("flushed_hits"), "0");
  EXPECT_EQ(r.value("flushed_queue"), "0");
  EXPECT_EQ(r.value("flushed_held"), "1");

  // Unplugged: the port stays, reading neutral.
  EXPECT_EQ(r.value("unplugged_type"), "1");
  EXPECT_EQ(r.value("unplugged_down"), "0");
  EXPECT_EQ(r.value("unplugged_x"), "0");
  EXPECT_EQ(r.value("unplugged_getjoy"), "0");
  EXPECT_EQ(r.value("still_type1"), "2");

  // Closing the window during WaitJoy ends the program quietly.
  EXPECT_EQ(r.value("after_close"), "(missing after_close)");
  for (const std::string& report : r.reports) EXPECT_NE(report.rfind("error:", 0), 0u) << report;
}

TEST(Joystick, NoneAttachedReadsNeutralAndWaitJoyReturnsAtOnce) {
  ModuleRun r = intest::runInProcess("input_nojoy");
  ASSERT_FALSE(r.watchdogFired);
  EXPECT_EQ(r.value("type"), "0");
  EXPECT_EQ(r.value("x_is_zero"), "1");
  EXPECT_EQ(r.value("z_is_zero"), "1");
  EXPECT_EQ(r.value("xdir"), "0");
  EXPECT_EQ(r.value("down"), "0");
  EXPECT_EQ(r.value("hit"), "0");
  EXPECT_EQ(r.value("get"), "0");
  EXPECT_EQ(r.value("waitjoy"), "0");
  EXPECT_EQ(r.value("joywait"), "0");
  EXPECT_EQ(r.value("fast"), "1");
}

}  // namespace
