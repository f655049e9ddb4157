// Generated code against C: the same five workloads (integer and float loops,
// array access, an object-list walk, string building) written in the dialect
// and compiled by krc, and written in C and compiled by gcc -m32 -O1, both
// calling the same runtime routines. Each module times its own workloads with
// MilliSecs; the ratio krc/gcc should be at most 2.
#include <cstdio>
#include <map>
#include <sstream>
#include <string>

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
  auto kb = run(dir + "bench_krc_code_kb.krm");
  auto c = run(dir + "bench_krc_code_c.krm");
  if (kb.empty() || c.empty()) {
    std::fprintf(stderr, "the benchmark modules did not run\n");
    return 1;
  }
  std::printf("%-8s %10s %10s %7s   (target: ratio at most 2.00)\n", "workload", "krc ms", "gcc -O1 ms", "ratio");
  for (const char* name : {"int", "float", "array", "objects", "strings"}) {
    int a = kb[name].first, b = c[name].first;
    std::printf("%-8s %10d %10d %7.2f%s\n", name, a, b, b > 0 ? double(a) / b : 0.0,
                kb[name].second == c[name].second ? "" : "   (results differ)");
  }
  return 0;
}
