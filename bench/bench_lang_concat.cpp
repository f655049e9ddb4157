// _krStrConcat building a 1 MB string a few bytes at a time, beside
// std::string::append doing the same, in the same run.
#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/bench_lang_common.h"
#include "lang/language_support.h"

namespace {

const char* const kPieces[] = {"abc", "de", "fghi", "j"};  // 10 bytes every four pieces
constexpr std::size_t kPieceCount = (1 << 20) / 10 * 4;
volatile std::size_t gSink;

// As compiled code does it: each piece is a literal turned into a temporary.
double concatSeconds() {
  auto start = benchlang::Clock::now();
  krString* s = kr::strConst("");
  for (std::size_t i = 0; i < kPieceCount; ++i) s = kr::strConcat(s, kr::strConst(kPieces[i & 3]));
  double seconds = benchlang::secondsSince(start);
  gSink = kr::krStringLength(s);
  kr::strRelease(s);
  return seconds;
}

double appendSeconds() {
  auto start = benchlang::Clock::now();
  std::string s;
  for (std::size_t i = 0; i < kPieceCount; ++i) s.append(kPieces[i & 3]);
  double seconds = benchlang::secondsSince(start);
  gSink = s.size();
  return seconds;
}

}  // namespace

int main() {
  kr::languageInit();
  // Alternating runs, the fastest of each: the machine is shared.
  double append = 1e9, concat = 1e9;
  for (int i = 0; i < 40; ++i) {
    append = std::min(append, appendSeconds());
    concat = std::min(concat, concatSeconds());
  }
  std::printf("1 MB, 1-4 bytes at a time:  _krStrConcat %.2f ms   std::string::append %.2f ms\n", concat * 1e3,
              append * 1e3);
  kr::languageShutdown();
  krbench::Targets targets;
  targets.atLeast("_krStrConcat speed / std::string::append", append / concat, 0.80);
  return targets.exitCode();
}
