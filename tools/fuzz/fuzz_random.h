// The command fuzzer's random numbers: splitmix64, one stream per seed.
#pragma once

#include <cstdint>

namespace krfuzz {

class Random {
 public:
  // Every splitmix64 stream walks the same sequence; the seed only picks where
  // to start. Seeds taken as starting points as they are would start seed
  // s + 1 one draw after seed s, and two runs with near seeds would make the
  // same plans after the first few. Scrambled, near seeds start far apart.
  explicit Random(std::uint64_t seed) : state_(mix(seed)) {}
  std::uint32_t next() { return static_cast<std::uint32_t>(mix(state_ += kStep) >> 16); }
  std::uint32_t below(std::uint32_t n) { return n ? next() % n : 0; }
  bool chance(std::uint32_t percent) { return below(100) < percent; }

 private:
  static constexpr std::uint64_t kStep = 0x9E3779B97F4A7C15ull;
  static std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint64_t state_;
};

}  // namespace krfuzz
