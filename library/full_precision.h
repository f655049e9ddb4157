// The x87 unit runs at 24-bit precision while a module runs. Maths commands
// compute at full precision inside a FullPrecision scope and round once to a
// float when they return.
#pragma once

namespace kr {

class FullPrecision {
 public:
  FullPrecision() {
    asm volatile("fnstcw %0" : "=m"(saved_));
    unsigned short full = static_cast<unsigned short>(saved_ | kPrecisionBits);
    asm volatile("fldcw %0" : : "m"(full) : "memory");
  }
  ~FullPrecision() { asm volatile("fldcw %0" : : "m"(saved_) : "memory"); }
  FullPrecision(const FullPrecision&) = delete;
  FullPrecision& operator=(const FullPrecision&) = delete;

  // Ties a value to this point of the scope: arithmetic on the returned value
  // cannot be scheduled before the control word was set, nor a value pinned
  // here be left to be computed after it is restored.
  static double pin(double x) {
    asm volatile("" : "+t"(x));
    return x;
  }

 private:
  static constexpr unsigned short kPrecisionBits = 0x300;  // 64-bit mantissa
  unsigned short saved_;
};

// Rounds a full-precision value to a float through memory, so the x87 stack
// never hands back more precision than a float has.
inline float roundToFloat(double x) {
  volatile float rounded = static_cast<float>(FullPrecision::pin(x));
  return rounded;
}

}  // namespace kr
