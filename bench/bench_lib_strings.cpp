// String and maths commands against plain C++ doing the same work: a chain of
// string commands on a temporary (with heap allocations counted after warm-up),
// Replace over a 1 MB text, and the random generator.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "lang/kr_string.h"
#include "library/math_commands.h"
#include "library/string_commands.h"

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace {
unsigned long gAllocations = 0;
}

extern "C" void* malloc(std::size_t n) {
  ++gAllocations;
  return __libc_malloc(n);
}
extern "C" void* calloc(std::size_t n, std::size_t size) {
  ++gAllocations;
  return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t n) {
  ++gAllocations;
  return __libc_realloc(p, n);
}
extern "C" void free(void* p) { __libc_free(p); }

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

const char kLine[] = "   player one scored 1200 points   ";
volatile int gSink;

int chainCommands() {
  krString* s = kr::krStringNew(kLine, sizeof(kLine) - 1);
  s = kr::strTrim(s);
  s = kr::strUpper(s);
  s = kr::strReplace(s, kr::krStringNew(" ", 1), kr::krStringNew("_", 1));
  s = kr::strMid(s, 2, -1);
  s = kr::strLSet(s, 40);
  return kr::strLen(s);
}

int chainStd() {
  std::string s(kLine, sizeof(kLine) - 1);
  s.erase(0, s.find_first_not_of(' '));
  s.erase(s.find_last_not_of(' ') + 1);
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  std::replace(s.begin(), s.end(), ' ', '_');
  s.erase(0, 1);
  s.resize(40, ' ');
  return static_cast<int>(s.size());
}

template <typename F>
double opsPerSecond(F f, int count, unsigned long* allocations) {
  for (int i = 0; i < 1000; ++i) gSink = f();  // warm-up
  unsigned long before = gAllocations;
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    for (int i = 0; i < count; ++i) gSink = f();
    best = std::min(best, secondsSince(start));
  }
  *allocations = (gAllocations - before) / 3;
  return count / best;
}

void benchChain() {
  const int count = 1000000;
  unsigned long ourAllocations, stdAllocations;
  double ours = opsPerSecond(chainCommands, count, &ourAllocations);
  double baseline = opsPerSecond(chainStd, count, &stdAllocations);
  std::printf("chain Trim/Upper/Replace/Mid/LSet/Len on a %zu-byte temporary, %d chains (best of 3)\n", sizeof(kLine) - 1, count);
  std::printf("  commands      %10.0f chains/s  %lu heap allocations per round after warm-up\n", ours, ourAllocations);
  std::printf("  std::string   %10.0f chains/s  %lu heap allocations per round\n", baseline, stdAllocations);
  std::printf("  ratio commands/std: %.2f\n", ours / baseline);
}

std::string replaceStd(const std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  std::size_t i = 0;
  for (std::size_t at; (at = text.find(from, i)) != std::string::npos; i = at + from.size())
    out.append(text, i, at - i).append(to);
  return out.append(text, i, std::string::npos);
}

void benchReplace() {
  std::string text;
  while (text.size() < (1 << 20)) text += "name=value; ";
  double best = 1e9, bestStd = 1e9;
  std::size_t ourLength = 0, stdLength = 0;
  for (int round = 0; round < 5; ++round) {
    krString* s = kr::krStringNew(text);
    auto start = Clock::now();
    s = kr::strReplace(s, kr::krStringNew("; ", 2), kr::krStringNew(";\n", 2));
    best = std::min(best, secondsSince(start));
    ourLength = kr::krStringLength(s);
    kr::krStringDelete(s);
    start = Clock::now();
    stdLength = replaceStd(text, "; ", ";\n").size();
    bestStd = std::min(bestStd, secondsSince(start));
  }
  std::printf("Replace over %zu bytes, %zu occurrences (best of 5)\n", text.size(), text.size() / 12);
  std::printf("  Replace       %8.2f ms (result %zu bytes)\n", best * 1e3, ourLength);
  std::printf("  find/append   %8.2f ms (result %zu bytes)\n", bestStd * 1e3, stdLength);
  std::printf("  ratio std/Replace (speed): %.2f\n", bestStd / best);
}

void benchRandom() {
  const int count = 10000000;
  kr::mathSeedRnd(4660);
  float sum = 0;
  auto start = Clock::now();
  for (int i = 0; i < count; ++i) sum += kr::mathRnd(0.0f, 100.0f);
  double ours = secondsSince(start);
  std::minstd_rand engine(4660);
  float stdSum = 0;
  start = Clock::now();
  for (int i = 0; i < count; ++i) stdSum += static_cast<float>((engine() & 0xFFFF) * (100.0 / 65535.0));
  double baseline = secondsSince(start);
  std::printf("Rnd(0, 100), %d calls (checksums %.0f %.0f)\n", count, sum, stdSum);
  std::printf("  Rnd               %8.2f ns/call\n", ours * 1e9 / count);
  std::printf("  std::minstd_rand  %8.2f ns/call\n", baseline * 1e9 / count);
  std::printf("  ratio Rnd/std (time): %.2f\n", ours / baseline);
}

}  // namespace

int main() {
  benchChain();
  benchReplace();
  benchRandom();
  return 0;
}
