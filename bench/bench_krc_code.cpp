// Generated code against C: the same five workloads (integer and float loops,
// array access, an object-list walk, string building) written in the dialect
// and compiled by krc, and written in C and compiled by gcc -m32 -O1, both
// calling the same runtime routines. Each module times its own workloads with
// MilliSecs; the ratio krc/gcc should be at most 2.
#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "bench/bench_support.h"

namespace {

// Runs a module under krrun --debug and collects "NAME MS RESULT" logs.
std::map<std::string, std::pair<int, std::string>> run(const std::string& module) {
  std::map<std::string, std::pair<int, std::string>> times;
  std::string command = std::string(KR_BUILD_DIR) + "/krrun --debug " + module + " 2>&1";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return times;
  char line[512];
  while (std::fgets(line, sizeof line, p)) {
    std::istringstream in(line);
    std::string tag, name, result;
    int ms;
    if (in >> tag >> name >> ms >> result && tag == "debugLog:") times[name] = {ms, result};
  }
  pclose(p);
  return times;
}

}  // namespace

int main() {
  const std::string dir = std::string(KR_BUILD_DIR) + "/modules/";
  const char* names[] = {"int", "float", "array", "objects", "strings"};
  // Subject and baseline alternate; the best of three runs counts.
  std::map<std::string, int> kbBest, cBest;
  std::map<std::string, std::string> kbResult, cResult;
  for (int round = 0; round < 3; ++round) {
    auto kb = run(dir + "bench_krc_code_kb.krm");
    auto c = run(dir + "bench_krc_code_c.krm");
    if (kb.size() < 5 || c.size() < 5) {
      std::fprintf(stderr, "the benchmark modules did not run\n");
      return 1;
    }
    for (const char* name : names) {
      kbBest[name] = round ? std::min(kbBest[name], kb[name].first) : kb[name].first;
      cBest[name] = round ? std::min(cBest[name], c[name].first) : c[name].first;
      kbResult[name] = kb[name].second;
      cResult[name] = c[name].second;
    }
  }
  std::printf("%-8s %10s %10s\n", "workload", "krc ms", "gcc -O1 ms");
  for (const char* name : names)
    std::printf("%-8s %10d %10d%s\n", name, kbBest[name], cBest[name],
                kbResult[name] == cResult[name] ? "" : "   (results differ)");
  krbench::Targets targets;
  for (const char* name : names)
    targets.atMost((std::string(name) + ": krc time / gcc -O1 time").c_str(),
                   double(kbBest[name]) / std::max(1, cBest[name]), 2.0);
  return targets.exitCode();
}
