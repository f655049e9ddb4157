// The x87 control word. While compiled code runs the unit works at 24-bit
// precision (the language's floats), rounding to nearest, every exception
// masked; after a run it goes back to 53 bits. The runtime itself is compiled
// for the x87 (no SSE maths), so the word governs its float work too: code that
// needs more precision (the C library's maths, number parsing) widens it for a
// scope and restores it.
#pragma once

namespace kr {
namespace x87 {

using Word = unsigned short;

constexpr Word kAllExceptionsMasked = 0x003F;
constexpr Word kPrecisionMask = 0x0300;
constexpr Word kPrecisionSingle = 0x0000;    // 24-bit mantissa
constexpr Word kPrecisionDouble = 0x0200;    // 53-bit mantissa
constexpr Word kPrecisionExtended = 0x0300;  // 64-bit mantissa
constexpr Word kRoundingMask = 0x0C00;
constexpr Word kRoundToNearest = 0x0000;

inline Word controlWord() {
  Word word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

inline void setControlWord(Word word) { asm volatile("fldcw %0" : : "m"(word) : "memory"); }

constexpr Word withPrecision(Word word, Word precision) {
  return static_cast<Word>((word & ~kPrecisionMask) | precision);
}

// The word for compiled code, and the one the runtime leaves after a run; the
// reserved and infinity bits of the previous word are kept.
constexpr Word moduleWord(Word previous) {
  return static_cast<Word>((previous & ~(kPrecisionMask | kRoundingMask)) | kAllExceptionsMasked |
                           kPrecisionSingle | kRoundToNearest);
}
constexpr Word afterRunWord(Word previous) { return withPrecision(moduleWord(previous), kPrecisionDouble); }

// Sets the precision for a scope and restores the caller's word after it.
class PrecisionScope {
 public:
  explicit PrecisionScope(Word precision) : saved_(controlWord()) {
    setControlWord(withPrecision(saved_, precision));
  }
  ~PrecisionScope() { setControlWord(saved_); }
  PrecisionScope(const PrecisionScope&) = delete;
  PrecisionScope& operator=(const PrecisionScope&) = delete;

 private:
  Word saved_;
};

}  // namespace x87
}  // namespace kr
