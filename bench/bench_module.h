// Hand-assembled modules for benchmarks.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace krbench {

inline void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void putEntry(std::vector<std::uint8_t>& out, const std::string& name, std::uint32_t offset) {
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(0);
  put32(out, offset);
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace krbench
