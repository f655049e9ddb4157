#include "library/random.h"

#include <emmintrin.h>

namespace kr {

namespace {

constexpr int kModulus = 2147483647;
constexpr int kMultiplier = 48271;
constexpr int kSchrageQuotient = kModulus / kMultiplier;   // 44488
constexpr int kSchrageRemainder = kModulus % kMultiplier;  // 3399
constexpr float kOneOver65535 = 1.0f / 65535.0f;

int gState = kStartupSeed;

// state * 48271 mod (2^31 - 1) by Schrage's method: no 32-bit overflow.
int nextState(int state) {
  int hi = state / kSchrageQuotient;
  int lo = state % kSchrageQuotient;
  int next = kMultiplier * lo - kSchrageRemainder * hi;
  return next < 0 ? next + kModulus : next;
}

}  // namespace

void seedRandom(int seed) {
  gState = seed & 0xFFFF;
  if (gState == 0) gState = 1;
}

int randomState() { return gState; }

float randomBetween(float from, float to) {
  gState = nextState(gState);
  // ((to - from) * k) * f + from in double precision, rounded once to a float.
  // SSE2 arithmetic: the x87 precision setting of a run cannot change it.
  __m128d low = _mm_cvtss_sd(_mm_setzero_pd(), _mm_set_ss(from));
  __m128d high = _mm_cvtss_sd(_mm_setzero_pd(), _mm_set_ss(to));
  __m128d value = _mm_mul_sd(_mm_sub_sd(high, low), _mm_cvtsi32_sd(_mm_setzero_pd(), gState & 0xFFFF));
  value = _mm_add_sd(_mm_mul_sd(value, _mm_set_sd(static_cast<double>(kOneOver65535))), low);
  return _mm_cvtss_f32(_mm_cvtsd_ss(_mm_setzero_ps(), value));
}

}  // namespace kr
