// The keyboard as a module sees it, fed by key events pushed into the window's
// queue: counting, queueing, repeats, flushing, characters and bad key numbers.
#include <gtest/gtest.h>

#include "tests/input/in_process.h"

using intest::ModuleRun;

namespace {

const ModuleRun& keysRun() {
  static const ModuleRun run = intest::runInProcess("input_keys");
  return run;
}

TEST(Keyboard, HitsCountPressesAndClear) {
  const ModuleRun& r = keysRun();
  EXPECT_EQ(r.value("hits_two"), "2");
  EXPECT_EQ(r.value("hits_cleared"), "0");
  EXPECT_EQ(r.value("after_bad_hits"), "1");
}

TEST(Keyboard, QueueHoldsThirtyTwoPressesButAllAreCounted) {
  const ModuleRun& r = keysRun();
  EXPECT_EQ(r.value("hits_33"), "33");
  EXPECT_EQ(r.value("queued"), "32");
  EXPECT_EQ(r.value("queued_all_a"), "1");
}

TEST(Keyboard, AutoRepeatAddsNoHits) {
  const ModuleRun& r = keysRun();
  EXPECT_EQ(r.value("repeat_hits"), "1");
  EXPECT_EQ(r.value("repeat_queued"), "1");
  EXPECT_EQ(r.value("repeat_held"), "1");
  EXPECT_EQ(r.value("released"), "0");
}

TEST(Keyboard, FlushKeysLeavesAHeldKeyHeld) {
  const ModuleRun& r = keysRun();
  EXPECT_EQ(r.value("flush_held"), "1");
  EXPECT_EQ(r.value("flush_hits"), "0");
  EXPECT_EQ(r.value("flush_queue"), "0");
}

TEST(Keyboard, CharactersFollowTheModifiersHeldAtThePress) {
  const ModuleRun& r = keysRun();
  EXPECT_EQ(r.value("char_a"), "97");
  EXPECT_EQ(r.value("char_shift_a"), "0");
  EXPECT_EQ(r.value("char_shift_a_2"), "65") << "Shift was let go before GetKey read the press";
  EXPECT_EQ(r.value("char_shift_1"), "33");
  EXPECT_EQ(r.value("char_shift_slash"), "63");
  EXPECT_EQ(r.value("char_shift_quote"), "34");
  EXPECT_EQ(r.value("char_ctrl_key"), "0");
  EXPECT_EQ(r.value("char_ctrl_c"), "3");
  EXPECT_EQ(r.value("char_ctrl_z"), "26");
  EXPECT_EQ(r.value("char_ctrl_bracket"), "27");
  EXPECT_EQ(r.value("char_ctrl_1"), "0");
}

TEST(Keyboard, ControlAndEditingKeys) {
  const ModuleRun& r = keysRun();
  EXPECT_EQ(r.value("char_enter"), "13");
  EXPECT_EQ(r.value("char_escape"), "27");
  EXPECT_EQ(r.value("char_tab"), "9");
  EXPECT_EQ(r.value("char_backspace"), "8");
  EXPECT_EQ(r.value("char_left"), "31");
  EXPECT_EQ(r.value("char_home"), "1");
  EXPECT_EQ(r.value("char_delete"), "4");
  EXPECT_EQ(r.value("char_space"), "32");
}

TEST(Keyboard, KeypadSignsAndEnterTypeButOtherExtendedKeysDoNot) {
  const ModuleRun& r = keysRun();
  EXPECT_EQ(r.value("char_kp_star"), "42");
  EXPECT_EQ(r.value("char_kp_minus"), "45");
  EXPECT_EQ(r.value("char_kp_plus"), "43");
  EXPECT_EQ(r.value("char_kp_slash"), "47");
  EXPECT_EQ(r.value("char_kp_enter"), "13");
  EXPECT_EQ(r.value("char_kp_7"), "0");
  EXPECT_EQ(r.value("char_print_screen"), "0");
  EXPECT_EQ(r.value("char_shift_kp_slash"), "47");
  EXPECT_EQ(r.value("queue_empty"), "0");
}

TEST(Keyboard, ExtendedKeysAreTheirCodePlus128) {
  const ModuleRun& r = keysRun();
  for (const char* label : {"code_rctrl", "code_ralt", "code_up", "code_kp_enter", "code_kp_slash", "code_pause",
                            "code_lwin"})
    EXPECT_EQ(r.value(label), "1") << label;
}

TEST(Keyboard, WaitKeySkipsKeysWithoutACharacter) { EXPECT_EQ(keysRun().value("waitkey"), "98"); }

TEST(Keyboard, LosingTheFocusLetsHeldKeysGo) { EXPECT_EQ(keysRun().value("unfocused_held"), "0"); }

TEST(Keyboard, BadKeyNumbersReadZero) {
  const ModuleRun& r = keysRun();
  EXPECT_EQ(r.value("bad_down"), "0");
  EXPECT_EQ(r.value("bad_hit"), "0");
}

TEST(Keyboard, ClosingTheWindowEndsWaitKeyQuietly) {
  const ModuleRun& r = keysRun();
  EXPECT_TRUE(r.ended());
  EXPECT_FALSE(r.watchdogFired);
  EXPECT_EQ(r.value("after_close"), "(missing after_close)");
  for (const std::string& report : r.reports) EXPECT_NE(report.rfind("error:", 0), 0u) << report;
}

}  // namespace
