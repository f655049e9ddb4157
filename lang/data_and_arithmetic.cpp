// The reader of the module's data table, the arithmetic helpers compiled code
// does not expand inline, and RuntimeStats.

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lang/language_support.h"
#include "runtime/x87.h"
#include "runtime/errors.h"

namespace kr {
namespace {

DataRecord* gReadPosition = nullptr;

// Takes the entry at the read position and moves past it.
const DataRecord& nextDataEntry() {
  // Without a restore there is nothing to read.
  if (!gReadPosition || gReadPosition->tag == KR_DATA_END) raiseRuntimeError("Out of data");
  const int tag = gReadPosition->tag;
  if (tag != KR_DATA_INT && tag != KR_DATA_FLOAT && tag != KR_DATA_STRING) raiseRuntimeError("Bad data type");
  return *gReadPosition++;
}

const char* textOf(const DataRecord& e) { return e.value.s ? e.value.s : ""; }

// Truncates toward zero; out of range and NaN give -2147483648 as the
// processor's own conversion does, rather than undefined behaviour.
int truncateToInt(float f) {
  if (f >= -2147483648.0f && f < 2147483648.0f) return static_cast<int>(f);
  return INT_MIN;
}

// While a module runs the x87 works at 24-bit precision; the C library's maths
// expects at least double precision to give its documented results.
class DoublePrecision : public x87::PrecisionScope {
 public:
  DoublePrecision() : x87::PrecisionScope(x87::kPrecisionDouble) {}
};

}  // namespace

void dataRestore(DataRecord* entry) { gReadPosition = entry; }

int dataReadInt() {
  const DataRecord& e = nextDataEntry();
  if (e.tag == KR_DATA_INT) return e.value.i;
  if (e.tag == KR_DATA_FLOAT) return truncateToInt(e.value.f);
  return std::atoi(textOf(e));
}

float dataReadFloat() {
  const DataRecord& e = nextDataEntry();
  if (e.tag == KR_DATA_INT) return static_cast<float>(e.value.i);
  if (e.tag == KR_DATA_FLOAT) return e.value.f;
  return static_cast<float>(std::atof(textOf(e)));
}

krString* dataReadStr() {
  const DataRecord& e = nextDataEntry();
  if (e.tag == KR_DATA_INT) return krStringFromInt(e.value.i);
  if (e.tag == KR_DATA_FLOAT) return krStringFromFloat(e.value.f);
  const char* text = textOf(e);
  return krStringNew(text, std::strlen(text));
}

int arithAbs(int a) { return a >= 0 ? a : static_cast<int>(0u - static_cast<unsigned>(a)); }

int arithSgn(int a) { return a > 0 ? 1 : (a < 0 ? -1 : 0); }

int arithMod(int a, int b) {
  if (b == 0) raiseRuntimeError("Integer divide by zero");
  if (b == -1) return 0;  // also -2147483648 by -1, whose quotient overflows
  return a % b;
}

float arithFAbs(float a) { return a >= 0 ? a : -a; }

float arithFSgn(float a) {
  if (a > 0) return 1.0f;
  if (a == 0) return 0.0f;
  return -1.0f;
}

float arithFMod(float a, float b) { return static_cast<float>(std::fmod(double(a), double(b))); }

float arithFPow(float a, float b) {
  DoublePrecision precision;
  return static_cast<float>(std::pow(double(a), double(b)));
}

void runtimeStats() {
  std::fprintf(stderr, "Active strings:%d\n", liveStringCount());
  std::fflush(stderr);
  std::fprintf(stderr, "Active objects:%d\n", activeObjectCount());
  std::fflush(stderr);
  std::fprintf(stderr, "Unreleased Objects:%d\n", unreleasedObjectCount());
  std::fflush(stderr);
  forEachLiveString(
      [](const krString* s, void*) {
        std::fprintf(stderr, "string@%08X\n", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(s)));
        std::fflush(stderr);
      },
      nullptr);
}

}  // namespace kr
