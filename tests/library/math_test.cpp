#include <gtest/gtest.h>
#include <fpu_control.h>

#include <cmath>

#include "library/math_commands.h"

namespace {

// While a module runs the unit is at 24-bit precision: results must not change
// and the caller's control word must come back untouched.
TEST(Math, ResultsDoNotDependOnThePrecisionOfTheCaller) {
  using Unary = float (*)(float);
  const Unary functions[] = {kr::mathSin, kr::mathCos, kr::mathTan, kr::mathASin, kr::mathACos,
                             kr::mathATan, kr::mathSqr, kr::mathExp, kr::mathLog, kr::mathLog10};
  fpu_control_t original;
  _FPU_GETCW(original);
  const fpu_control_t single = (original & ~_FPU_EXTENDED) | _FPU_SINGLE;
  for (Unary f : functions) {
    for (float x : {0.3f, 0.999f, 33.3f, 98765.4f, 3.0e7f}) {
      float full = f(x), fullTwo = kr::mathATan2(x, -x);
      _FPU_SETCW(single);
      float reduced = f(x), reducedTwo = kr::mathATan2(x, -x);
      fpu_control_t after;
      _FPU_GETCW(after);
      _FPU_SETCW(original);
      EXPECT_EQ(after, single);
      EXPECT_EQ(fullTwo, reducedTwo);
      EXPECT_TRUE(full == reduced || (std::isnan(full) && std::isnan(reduced))) << x;
    }
  }
}

}  // namespace
