// Hand-assembled modules for benchmarks.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/module_format.h"

namespace krbench {

inline void put32(std::vector<std::uint8_t>& out, std::uint32_t v) { kr::putContainerWord(out, v); }

inline void putEntry(std::vector<std::uint8_t>& out, const std::string& name, std::uint32_t offset) {
  kr::putContainerEntry(out, name, offset);
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace krbench
