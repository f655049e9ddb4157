#include <gtest/gtest.h>

#include <cstdint>

#include "library/math_commands.h"
#include "library/random.h"

namespace {

std::int64_t nextState(std::int64_t state) { return state * 48271 % 2147483647; }

TEST(Random, StartupSeedGivesTheKnownFirstValue) {
  kr::seedRandom(kr::kStartupSeed);
  EXPECT_NEAR(kr::mathRnd(0.0f, 1.0f), 0.3556573f, 1e-6f);
  EXPECT_EQ(kr::randomState(), 224942860);
}

TEST(Random, StepsMatchSixtyFourBitArithmetic) {
  for (int seed : {1, 4660, 65535}) {
    kr::mathSeedRnd(seed);
    std::int64_t expected = seed;
    for (int i = 0; i < 100000; ++i) {
      kr::mathRnd(0.0f, 1.0f);
      expected = nextState(expected);
      ASSERT_EQ(kr::randomState(), expected) << "seed " << seed << " step " << i;
    }
  }
}

TEST(Random, SeedKeepsLowSixteenBitsAndAvoidsZero) {
  for (int seed : {0, 65536, -65536, 65537}) {
    kr::mathSeedRnd(seed);
    EXPECT_EQ(kr::randomState(), 1) << seed;
  }
  kr::mathSeedRnd(-1);
  EXPECT_EQ(kr::randomState(), 65535);
}

TEST(Random, BoundsInEitherOrder) {
  kr::mathSeedRnd(99);
  for (int i = 0; i < 10000; ++i) {
    float r = kr::mathRnd(10.0f, 0.0f);
    ASSERT_TRUE(r >= 0.0f && r <= 10.0f) << r;
  }
  int before = kr::randomState();
  EXPECT_EQ(kr::mathRnd(5.0f, 5.0f), 5.0f);
  EXPECT_EQ(kr::randomState(), nextState(before));
}

}  // namespace
