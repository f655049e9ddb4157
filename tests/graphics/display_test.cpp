// The display commands run headless: modes, depths, the graphics state across
// display changes, timing, and the errors (and the silence) of bad arguments.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/graphics/picture_files.h"
#include "tests/support/module_runner.h"

using namespace krtest;

namespace {

bool logged(const RunResult& r, const std::string& line) {
  auto logs = r.logs();
  return std::find(logs.begin(), logs.end(), line) != logs.end();
}

// One run of the modes module serves the tests that read its reports.
const RunResult& modesRun() {
  static const RunResult run = runModule("gfx_modes");
  return run;
}

TEST(Display, ModesAreTheDesktopsSizesAtThreeDepths) {
  // The headless display is a 1024 x 768 desktop that reports no modes of its own.
  const RunResult& r = modesRun();
  ASSERT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
  EXPECT_EQ(r.value("drivers"), "1");
  EXPECT_TRUE(logged(r, "display"));
  EXPECT_EQ(r.value("modes"), "9");
  const char* modes[] = {"640x480x16", "640x480x24", "640x480x32", "800x600x16", "800x600x24",
                         "800x600x32", "1024x768x16", "1024x768x24", "1024x768x32"};
  for (const char* m : modes) EXPECT_TRUE(logged(r, std::string("mode ") + m)) << m;
  EXPECT_EQ(r.value("find_640_480_32"), "3");
  EXPECT_EQ(r.value("find_640_480_0"), "0");  // depth 0 matches nothing
  EXPECT_EQ(r.value("exists_640_480_0"), "0");
  EXPECT_EQ(r.value("exists_800_600_16"), "1");
  EXPECT_EQ(r.value("exists_1280_720_32"), "0");  // larger than the desktop
}

TEST(Display, WindowsUseTheDesktopDepthAndFullScreenTheRequestedOne) {
  const RunResult& r = modesRun();
  EXPECT_TRUE(logged(r, "startup 400x300x32"));
  EXPECT_TRUE(logged(r, "window 320x200x32")) << "depth 16 asked, desktop depth given";
  EXPECT_TRUE(logged(r, "full_screen_depth_0 320x200x16"));
  EXPECT_TRUE(logged(r, "full_screen_depth_24 320x200x24"));
  EXPECT_TRUE(logged(r, "scaled 320x200x32"));
  EXPECT_EQ(r.value("total_vid_mem"), std::to_string(256 << 20));
  int used = r.number("vid_mem_used");
  EXPECT_GE(used, 320 * 200 * 4);  // the window's one store at least
  EXPECT_LT(used, 4 << 20);        // the start-up window's store is gone
}

TEST(Display, VWaitAndFlipFollowTheRefreshPeriod) {
  const RunResult& r = modesRun();
  EXPECT_EQ(r.value("scanline_in_range"), "1");
  EXPECT_LE(r.number("vwait_10_ms"), 60) << "VWait 10 waits for one blank only";
  EXPECT_GE(r.number("ten_vwaits_ms"), 130);
  EXPECT_LE(r.number("ten_vwaits_ms"), 400);
  EXPECT_GE(r.number("thirty_synced_flips_ms"), 450);  // 60 Hz when the display reports no rate
  EXPECT_LE(r.number("thirty_free_flips_ms"), 250);
}

TEST(Display, GraphicsStateAcrossDisplayChanges) {
  TempDir dir;
  RunResult r = runModuleIn("gfx_state", dir);
  ASSERT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
  EXPECT_EQ(r.value("after_early_endgraphics_blue"), "3");
  EXPECT_EQ(r.value("after_early_endgraphics_width"), "400");
  EXPECT_EQ(r.value("colour_reset"), "1");
  EXPECT_EQ(r.value("current_is_front"), "1");
  EXPECT_EQ(r.value("front_differs_from_back"), "1");
  EXPECT_EQ(r.value("shared_pixel"), std::to_string(0x123456));
  EXPECT_EQ(r.value("plot_after_setbuffer"), std::to_string(0xFFFFFF));
  EXPECT_EQ(r.value("fast_pixel"), std::to_string(0xFF0000));
  EXPECT_EQ(r.value("endgraphics_width"), "400");
  EXPECT_EQ(r.value("endgraphics_height"), "300");
  EXPECT_EQ(r.value("endgraphics_again_width"), "400");
  EXPECT_EQ(r.value("save_one_pixel"), "1");
  EXPECT_EQ(r.value("save_nowhere"), "0");
  std::string one = readFile(dir.file("one.bmp"));
  ASSERT_EQ(one.size(), 58u);
  EXPECT_EQ(one.substr(0, 2), "BM");
  EXPECT_EQ(one.substr(54), std::string(4, '\0'));  // one black pixel and a byte of padding
}

TEST(Display, IllegalModeFailsWithAndWithoutDebugging) {
  RunResult debugging = runModule("gfx_illegal_mode");
  EXPECT_TRUE(debugging.errContains("debugError: Illegal Graphics mode")) << debugging.err;
  EXPECT_FALSE(logged(debugging, "survived=1"));
  RunOptions plain;
  plain.debug = false;
  RunResult r = runModule("gfx_illegal_mode", plain);
  EXPECT_TRUE(r.errContains("Error!: Illegal Graphics mode")) << r.err;
  EXPECT_EQ(r.exitCode, 0);
}

TEST(Display, AbsurdSizesCannotSetAMode) {
  for (const char* module : {"gfx_absurd_size", "gfx_negative_size"}) {
    RunResult r = runModule(module);
    EXPECT_TRUE(r.errContains("debugError: Unable to set graphics mode")) << module << ": " << r.err;
    EXPECT_FALSE(logged(r, "survived=1"));
    EXPECT_EQ(r.exitCode, 0);
  }
}

TEST(Display, UnknownHandlesAreErrorsOnlyWhenDebugging) {
  RunResult missing = runModule("gfx_no_buffer");
  EXPECT_TRUE(missing.errContains("debugError: Buffer does not exist")) << missing.err;
  RunResult badIndex = runModule("gfx_bad_handles");
  EXPECT_EQ(badIndex.value("fast_read"), "0");  // fast commands never check
  EXPECT_TRUE(badIndex.errContains("debugError: Illegal graphics mode index")) << badIndex.err;

  TempDir dir;
  RunOptions plain;
  plain.debug = false;
  plain.workDir = dir.path();
  RunResult quiet = runModule("gfx_bad_handles", plain);
  EXPECT_FALSE(quiet.errContains("Error!")) << quiet.err;
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_FALSE(readFile(dir.file("survived.bmp")).empty()) << "the program ran to its end";
  EXPECT_TRUE(readFile(dir.file("junk.bmp")).empty());
}

}  // namespace

namespace {

TEST(Demo, AnimatesForAFewSecondsAndEndsByItself) {
  RunOptions options;
  options.timeoutMs = 30000;
  RunResult r = runModule("kb_demo", options);  // examples/kb/demo.kb, compiled by krc
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.logs(), (std::vector<std::string>{"demo: started", "demo: finished"})) << r.err;
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended"));
}

}  // namespace
