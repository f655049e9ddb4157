#include <gtest/gtest.h>

#include "tests/support/module_runner.h"

using namespace krtest;

TEST(ModuleRun, EmptyModuleReturnsAndReportsEnd) {
  RunResult r = runModule("core_empty_return");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
}

TEST(ModuleRun, DivisionByZeroInModuleCode) {
  RunResult r = runModule("core_div_zero");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.logs(), std::vector<std::string>{"before"});
  EXPECT_TRUE(r.errContains("debugError: Integer divide by zero")) << r.err;
}
