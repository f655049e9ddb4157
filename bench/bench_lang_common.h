// Shared by the language-support benchmarks: a heap-allocation counter that
// interposes malloc for the whole process, and a timer.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdlib>

#include "bench/bench_support.h"

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace benchlang {

inline unsigned long gAllocations = 0;

using krbench::Clock;
using krbench::secondsSince;

}  // namespace benchlang

extern "C" void* malloc(std::size_t n) noexcept {
  ++benchlang::gAllocations;
  return __libc_malloc(n);
}
extern "C" void* calloc(std::size_t n, std::size_t size) noexcept {
  ++benchlang::gAllocations;
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t n) noexcept {
  ++benchlang::gAllocations;
  return __libc_realloc(p, n);
}
extern "C" void free(void* p) noexcept { __libc_free(p); }
