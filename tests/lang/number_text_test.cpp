// The integer and float text forms.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "lang/kr_string.h"
#include "runtime/x87.h"

namespace {

using kr::floatText;

std::string intText(int n) {
  char text[kr::kNumberTextMax];
  std::size_t length = kr::formatInt(n, text);
  EXPECT_EQ(length, std::strlen(text));
  return text;
}

float fromBits(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// The six truncated decimals computed in 64-bit long double, where every step
// below 2^31 is exact.
std::string referenceText(float f) {
  long double x = f;
  std::string sign;
  if (x < 0) {
    sign = "-";
    x = -x;
  }
  long double whole = std::floor(x);
  long double micros = std::floor((x - whole) * 1000000.0L);
  char text[64];
  std::snprintf(text, sizeof text, "%s%lld.%06lld", sign.c_str(), static_cast<long long>(whole),
                static_cast<long long>(micros));
  return text;
}

TEST(NumberText, Integers) {
  EXPECT_EQ(intText(0), "0");
  EXPECT_EQ(intText(42), "42");
  EXPECT_EQ(intText(-7), "-7");
  EXPECT_EQ(intText(INT_MAX), "2147483647");
  EXPECT_EQ(intText(INT_MIN), "-2147483648");
}

TEST(NumberText, FloatsAreTruncatedFromTheExactValue) {
  EXPECT_EQ(floatText(1.5f), "1.500000");
  EXPECT_EQ(floatText(-2.25f), "-2.250000");
  EXPECT_EQ(floatText(0.0f), "0.000000");
  EXPECT_EQ(floatText(-0.0f), "0.000000");
  EXPECT_EQ(floatText(100.0f), "100.000000");
  EXPECT_EQ(floatText(3.0f), "3.000000");
  EXPECT_EQ(floatText(-0.5f), "-0.500000");
  EXPECT_EQ(floatText(0.7f), "0.699999");
  EXPECT_EQ(floatText(0.1f), "0.100000");
  EXPECT_EQ(floatText(0.0000001f), "0.000000");
  EXPECT_EQ(floatText(-0.0000001f), "-0.000000");
  EXPECT_EQ(floatText(fromBits(1)), "0.000000");  // smallest denormal
  EXPECT_EQ(floatText(16777215.0f), "16777215.000000");
}

TEST(NumberText, LargeAndSpecialFloatsAreReadable) {
  EXPECT_EQ(floatText(2147483648.0f), "2147483648.000000");
  EXPECT_EQ(floatText(-3e9f), "-3000000000.000000");
  EXPECT_EQ(floatText(1e20f), "100000002004087734272.000000");
  EXPECT_EQ(floatText(fromBits(0x7F7FFFFF)), "340282346638528859811704183484516925440.000000");
  EXPECT_EQ(floatText(INFINITY), "Infinity");
  EXPECT_EQ(floatText(-INFINITY), "-Infinity");
  EXPECT_EQ(floatText(NAN), "NaN");
  EXPECT_EQ(floatText(-NAN), "NaN");
}

TEST(NumberText, MatchesExactArithmeticAcrossRandomFloats) {
  std::mt19937 random(20261206);
  for (int i = 0; i < 200000; ++i) {
    float f = fromBits(random());
    if (!std::isfinite(f) || std::fabs(f) >= 2147483648.0f) continue;
    ASSERT_EQ(floatText(f), referenceText(f)) << std::hexfloat << f;
  }
  for (int i = 0; i < 200000; ++i) {  // values with few integer digits, where the fraction matters
    float f = std::uniform_real_distribution<float>(-1000.0f, 1000.0f)(random);
    ASSERT_EQ(floatText(f), referenceText(f)) << std::hexfloat << f;
  }
}

// A run sets the x87 to 24-bit precision; the digits must not depend on it.
TEST(NumberText, SinglePrecisionModeGivesTheSameDigits) {
  std::mt19937 random(7);
  std::vector<float> values;
  std::vector<std::string> expected;
  for (int i = 0; i < 20000; ++i) {
    values.push_back(fromBits(random()));
    expected.push_back(floatText(values.back()));
  }
  std::vector<std::string> underSingle;
  {
    kr::x87::PrecisionScope single(kr::x87::kPrecisionSingle);
    for (float f : values) underSingle.push_back(floatText(f));
  }
  EXPECT_EQ(underSingle, expected);
}

}  // namespace
