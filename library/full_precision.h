// The x87 unit runs at 24-bit precision while a module runs. Maths commands
// compute at full precision inside a FullPrecision scope and round once to a
// float when they return.
#pragma once
#include "runtime/x87.h"

namespace kr {

class FullPrecision {
 public:
  FullPrecision() : scope_(x87::kPrecisionExtended) {}

  // Ties a value to this point of the scope: arithmetic on the returned value
  // cannot be scheduled before the control word was set, nor a value pinned
  // here be left to be computed after it is restored.
  static double pin(double x) {
    asm volatile("" : "+t"(x));
    return x;
  }

 private:
  x87::PrecisionScope scope_;
};

// Rounds a full-precision value to a float through memory, so the x87 stack
// never hands back more precision than a float has.
inline float roundToFloat(double x) {
  volatile float rounded = static_cast<float>(FullPrecision::pin(x));
  return rounded;
}

}  // namespace kr
