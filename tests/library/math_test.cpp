#include <gtest/gtest.h>

#include <cmath>

#include "library/math_commands.h"
#include "runtime/x87.h"

namespace {

// While a module runs the unit is at 24-bit precision: results must not change
// and the caller's control word must come back untouched.
TEST(Math, ResultsDoNotDependOnThePrecisionOfTheCaller) {
  using Unary = float (*)(float);
  const Unary functions[] = {kr::mathSin, kr::mathCos, kr::mathTan, kr::mathASin, kr::mathACos,
                             kr::mathATan, kr::mathSqr, kr::mathExp, kr::mathLog, kr::mathLog10};
  const kr::x87::Word original = kr::x87::controlWord();
  const kr::x87::Word single = kr::x87::withPrecision(original, kr::x87::kPrecisionSingle);
  for (Unary f : functions) {
    for (float x : {0.3f, 0.999f, 33.3f, 98765.4f, 3.0e7f}) {
      float full = f(x), fullTwo = kr::mathATan2(x, -x);
      kr::x87::setControlWord(single);
      float reduced = f(x), reducedTwo = kr::mathATan2(x, -x);
      kr::x87::Word after = kr::x87::controlWord();
      kr::x87::setControlWord(original);
      EXPECT_EQ(after, single);
      EXPECT_EQ(fullTwo, reducedTwo);
      EXPECT_TRUE(full == reduced || (std::isnan(full) && std::isnan(reduced))) << x;
    }
  }
}

}  // namespace
