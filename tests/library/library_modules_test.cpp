// The string and maths commands called from real modules, linked by name and
// run by krrun with the control word of a run in force.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>

#include "tests/support/module_runner.h"

using namespace krtest;

namespace {

float fromBits(const std::string& hex) {
  std::uint32_t bits = static_cast<std::uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
  float f;
  std::memcpy(&f, &bits, sizeof(f));
  return f;
}

// Rounds through memory: the x87 stack would otherwise keep extra precision.
float asFloat(long double x) {
  volatile float f = static_cast<float>(x);
  return f;
}

std::string localDate() {
  std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof(text), "%d %b %Y", std::localtime(&now));
  return text;
}

TEST(LibraryModules, ChainedStringCommands) {
  std::string dateBefore = localDate();
  RunResult r = runModule("lib_string_chain");
  std::string dateAfter = localDate();
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> logs = r.logs();
  ASSERT_EQ(logs.size(), 14u) << r.err;
  std::vector<std::string> fixed(logs.begin(), logs.begin() + 12);
  EXPECT_EQ(fixed, (std::vector<std::string>{"KORRIN", "   abc", "ef  ", "AAA", "a--b", "b", "a..b", "4", "4",
                                             "49", "48", "11"}));
  EXPECT_TRUE(std::regex_match(logs[12], std::regex("([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]"))) << logs[12];
  EXPECT_TRUE(logs[13] == dateBefore || logs[13] == dateAfter) << logs[13];
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended"));
}

TEST(LibraryModules, BadArgumentsEndTheProgramWithTheirMessage) {
  RunResult count = runModule("lib_string_bad_count");
  EXPECT_EQ(count.logs(), (std::vector<std::string>{"", "before"}));
  EXPECT_TRUE(count.errContains("debugError: parameter must be positive")) << count.err;

  RunResult start = runModule("lib_string_bad_start");
  EXPECT_EQ(start.logs(), std::vector<std::string>{"4"});
  EXPECT_TRUE(start.errContains("debugError: parameter must be greater than 0")) << start.err;
  EXPECT_EQ(start.exitCode, 0);
}

TEST(LibraryModules, HugeRepeatIsOutOfMemoryNotACrash) {
  RunResult debug = runModule("lib_string_huge");
  EXPECT_EQ(debug.exitCode, 0);
  EXPECT_EQ(debug.logs(), std::vector<std::string>{"3000"});
  EXPECT_TRUE(debug.errContains("debugError: Out of memory")) << debug.err;

  RunOptions noDebug;
  noDebug.debug = false;
  RunResult plain = runModule("lib_string_huge", noDebug);
  EXPECT_EQ(plain.exitCode, 0);
  EXPECT_TRUE(plain.errContains("Error!: Out of memory")) << plain.err;
}

constexpr long double toRadians = 0.017453292f, toDegrees = 57.29578f;

TEST(LibraryModules, MathsUnderTheRunControlWord) {
  RunResult r = runModule("lib_math");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  using Expected = long double (*)(float);
  // In the order lib_math calls them; arguments the module derives from x are
  // float arithmetic there, so they are rounded to float here too.
  const Expected results[] = {
      [](float x) { return std::sin(x * toRadians); },  [](float x) { return std::cos(x * toRadians); },
      [](float x) { return std::tan(x * toRadians); },  [](float x) { return std::sqrt(x * 1.0L); },
      [](float x) { return std::exp(asFloat(x / 1000.0L) * 1.0L); },
      [](float x) { return std::log(x * 1.0L); },       [](float x) { return std::log10(x * 1.0L); },
      [](float x) { return std::atan(x * 1.0L) * toDegrees; },
      [](float x) { return std::atan2(x * 1.0L, -1.0L) * toDegrees; },
      [](float x) { return std::asin(asFloat(x / 1e6L) * 1.0L) * toDegrees; },
      [](float x) { return std::acos(asFloat(x / 1e6L) * 1.0L) * toDegrees; },
      [](float x) { return std::floor(asFloat(x / 7.0L) * 1.0L); },
      [](float x) { return std::ceil(asFloat(x / 7.0L) * 1.0L); }};
  const float inputs[] = {0.0f, 30.0f, 45.0f, 90.0f, 180.0f, -270.0f, 1e6f, 123456.7f, 0.001f};
  std::vector<std::string> logs = r.logs();
  ASSERT_EQ(logs.size(), std::size(inputs) * std::size(results));
  std::size_t i = 0;
  for (float x : inputs) {
    for (Expected result : results) {
      float expected = asFloat(result(x)), got = fromBits(logs[i]);
      if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(got)) << "result " << i;
      else
        EXPECT_FLOAT_EQ(got, expected) << "result " << i << " input " << x;
      ++i;
    }
  }
}

// The generator's exact sequence, recomputed here from the state recurrence.
class Generator {
 public:
  float next(float from, float to) {
    state_ = state_ * 48271 % 2147483647;
    double k = static_cast<double>(state_ & 0xFFFF);
    return asFloat((static_cast<double>(to) - from) * k * static_cast<double>(1.0f / 65535.0f) + from);
  }

 private:
  std::int64_t state_ = 4660;
};

TEST(LibraryModules, RandomSequenceIsExactAndSeedRepeatsIt) {
  RunResult r = runModule("lib_random");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> logs = r.logs();
  ASSERT_EQ(logs.size(), 2001u);
  Generator g;
  std::vector<float> expected;
  for (int i = 0; i < 500; ++i) expected.push_back(g.next(0.0f, 1.0f));
  for (int i = 0; i < 500; ++i) expected.push_back(g.next(-3.0f, 7.0f));
  for (int i = 0; i < 500; ++i) expected.push_back(g.next(100.0f, 0.0f));
  for (int i = 0; i < 500; ++i) expected.push_back(expected[i]);
  expected.push_back(expected[0]);
  EXPECT_NEAR(fromBits(logs[0]), 0.3556573f, 1e-6f);
  for (std::size_t i = 0; i < logs.size(); ++i) ASSERT_EQ(fromBits(logs[i]), expected[i]) << "call " << i;
}

}  // namespace
