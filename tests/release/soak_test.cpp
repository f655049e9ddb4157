// tools/soak.sh itself: it must see a leak for what it is, and never call a
// game that ended on its own (or never answered) a flat one.
#include <gtest/gtest.h>

#include "tests/support/module_runner.h"

using namespace krtest;

namespace {

RunResult soak(const std::vector<std::string>& options, const std::string& module) {
  std::vector<std::string> argv = {"/bin/bash", KR_SOURCE_DIR "/tools/soak.sh"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), {"--", buildPath("krrun"), modulePath(module)});
  RunOptions run;
  run.timeoutMs = 90000;
  return runProgram(argv, run);
}

}  // namespace

TEST(Soak, ALeakingGameFailsOnItsRisingHandleCount) {
  RunResult r = soak({"--seconds", "20", "--interval", "2", "--warmup", "4"}, "rel_soak_leak");
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("handles  "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("GROWS"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("verdict: growth after warm-up"), std::string::npos) << r.out;
  // The table: a header and one row per sample.
  EXPECT_NE(r.out.find("seconds"), std::string::npos);
  EXPECT_NE(r.out.find("rss_kb"), std::string::npos);
}

TEST(Soak, AGameThatEndsByItselfFails) {
  RunResult r = soak({"--seconds", "4", "--interval", "1", "--warmup", "1"}, "core_hello");
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("ended by itself"), std::string::npos) << r.out;
}
