// File reading from a module against plain C stdio on the same 16 MB file in
// the page cache: ReadByte in a loop against fgetc in a loop, and ReadBytes of
// the whole file into a bank against one fread. Each module pass is followed at
// once by its stdio passes, in the same process, so both see the same load on
// a busy machine; byte loops compare the median of the per-round ratios, whole
// reads their best rounds. A run has
// threads (display refresh, signals), so fgetc takes its stream lock as it
// would in any threaded program; fgetc_unlocked, the bare buffer read, is
// shown beside it for scale.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "runtime/linker.h"
#include "runtime/module_source.h"
#include "runtime/run.h"
#include "runtime/runtime_api.h"

namespace {

using krbench::Clock;
using krbench::secondsSince;
constexpr int kSize = 16 << 20;

Clock::time_point gStarted;
std::vector<double> gByteRatios, gUnlockedRatios, gByteTimes, gWholeTimes, gFreadTimes;
std::vector<char> gBuffer(kSize);
bool gSameBytes = true;

unsigned fgetcPass(double* seconds, bool locked = true) {
  Clock::time_point t = Clock::now();
  FILE* f = std::fopen("bench.bin", "rb");
  unsigned sum = 0;
  if (locked)
    for (int c; (c = std::fgetc(f)) != EOF;) sum += static_cast<unsigned>(c);
  else
    for (int c; (c = fgetc_unlocked(f)) != EOF;) sum += static_cast<unsigned>(c);
  std::fclose(f);
  *seconds = secondsSince(t);
  return sum;
}

int freadPass(double* seconds) {
  Clock::time_point t = Clock::now();
  FILE* f = std::fopen("bench.bin", "rb");
  std::size_t n = std::fread(gBuffer.data(), 1, gBuffer.size(), f);
  std::fclose(f);
  *seconds = secondsSince(t);
  int last = 0;
  if (n == gBuffer.size()) std::memcpy(&last, gBuffer.data() + kSize - 4, 4);
  return last;
}

// Called by the module after each of its steps (phase 1: a ReadByte pass with
// its checksum, phase 3: a ReadBytes pass with the last word read).
__attribute__((force_align_arg_pointer)) void benchMark(int phase, int value) {
  double module = secondsSince(gStarted), baseline;
  if (phase == 1) {
    gSameBytes &= fgetcPass(&baseline) == static_cast<unsigned>(value);
    gByteRatios.push_back(baseline / module);
    gSameBytes &= fgetcPass(&baseline, false) == static_cast<unsigned>(value);
    gUnlockedRatios.push_back(baseline / module);
    gByteTimes.push_back(module);
  } else if (phase == 3) {
    gSameBytes &= freadPass(&baseline) == value;
    gFreadTimes.push_back(baseline);
    gWholeTimes.push_back(module);
  }
  gStarted = Clock::now();
}

bool runModule() {
  std::vector<std::uint8_t> image;
  if (!kr::readWholeFile(std::string(KR_BUILD_DIR) + "/modules/files_bench_io.krm", image)) return false;
  std::map<std::string, std::uint32_t> table = kr::buildRuntimeTable(*runtimeGetRuntime());
  table["bench_mark"] = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&benchMark));
  kr::LinkResult linked = kr::linkModule(image.data(), image.size(), table);
  if (linked.status != kr::LinkResult::kLinked) return false;
  kr::executeProgram(linked.entry, nullptr, 0, 0, nullptr);
  kr::releaseLinkedModule(linked);
  return gByteRatios.size() == 5 && gWholeTimes.size() == 15;
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  char dir[] = "/tmp/krbench-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) return 1;
  {
    std::vector<char> data(kSize);
    for (int i = 0; i < kSize; ++i) data[i] = static_cast<char>(i * 31 + (i >> 13));
    FILE* f = std::fopen("bench.bin", "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  double warm;
  fgetcPass(&warm);  // the file into the page cache
  bool ran = runModule();
  std::remove("bench.bin");
  if (chdir("/") == 0) rmdir(dir);
  if (!ran) {
    std::printf("the benchmark module did not run\n");
    return 1;
  }
  if (!gSameBytes) {
    std::printf("module and stdio read different bytes\n");
    return 1;
  }
  double mb = kSize / 1048576.0;
  std::printf("16 MB file in the page cache; module and stdio passes interleaved (5 and 15 rounds)\n");
  std::printf("  ReadByte loop %.0f MB/s (median), ReadBytes into a bank %.0f MB/s (best)\n",
              mb / krbench::median(gByteTimes), mb / *std::min_element(gWholeTimes.begin(), gWholeTimes.end()));
  std::printf("  ReadByte loop speed / fgetc_unlocked loop: ratio %.2f (for scale, no target)\n",
              krbench::median(gUnlockedRatios));
  krbench::Targets targets;
  targets.atLeast("ReadByte loop speed / fgetc loop", krbench::median(gByteRatios), 0.5);
  // A 16 MB copy into one buffer right after one into another is disturbed by
  // the memory system (either way round), so whole reads compare best rounds.
  double bestWhole = *std::min_element(gWholeTimes.begin(), gWholeTimes.end());
  double bestFread = *std::min_element(gFreadTimes.begin(), gFreadTimes.end());
  targets.atLeast("ReadBytes into a bank speed / one fread (best)", bestFread / bestWhole, 0.8);
  return targets.exitCode();
}
