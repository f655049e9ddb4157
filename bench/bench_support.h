// What every benchmark shares: the clock, medians, hand-built module
// containers, and the target check. A benchmark prints each figure beside its
// baseline as a ratio and exits non-zero when a ratio misses its target.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/module_format.h"

namespace krbench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

inline void put32(std::vector<std::uint8_t>& out, std::uint32_t v) { kr::putContainerWord(out, v); }

inline void putEntry(std::vector<std::uint8_t>& out, const std::string& name, std::uint32_t offset) {
  kr::putContainerEntry(out, name, offset);
}

// Ratios checked against their targets. Print one line per ratio; exitCode()
// is what main returns.
class Targets {
 public:
  // A ratio that must be at least the target (a speed: subject over baseline).
  void atLeast(const char* what, double ratio, double target) { check(what, ratio, target, ratio >= target, ">="); }
  // A ratio that must be at most the target (a cost: subject time over baseline time).
  void atMost(const char* what, double ratio, double target) { check(what, ratio, target, ratio <= target, "<="); }

  int exitCode() const {
    if (missed_) std::printf("%d of %d targets missed\n", missed_, checked_);
    return missed_ ? 1 : 0;
  }

 private:
  void check(const char* what, double ratio, double target, bool met, const char* relation) {
    ++checked_;
    if (!met) ++missed_;
    std::printf("  %-44s ratio %6.2f  (target %s %.2f)  %s\n", what, ratio, relation, target, met ? "met" : "MISSED");
  }
  int checked_ = 0, missed_ = 0;
};

}  // namespace krbench
