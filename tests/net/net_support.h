// Runs several krrun processes of one game at once on 127.0.0.1. Each test
// gets its own port range, so test runs of two builds on one machine do not
// meet each other's games.
#pragma once
#include <algorithm>
#include <future>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

#include "tests/support/module_runner.h"

namespace nettest {

using krtest::RunResult;
using krtest::RunOptions;

inline std::string portBase() {
  static int next = 0;
  // Every case runs in a process of its own: the process id keeps parallel
  // cases (and builds) apart.
  int base = 21000 + (getpid() % 1000) * 40 + (next++ % 5) * 8;
  return std::to_string(base);
}

struct Launch {
  std::string module;
  int startDelayMs = 0;
  int timeoutMs = 30000;
};

// Runs the modules together (each after its delay) with one port range.
inline std::vector<RunResult> runGame(const std::vector<Launch>& launches) {
  std::string port = "KORRIN_TEST_NET_PORT=" + portBase();
  std::vector<std::future<RunResult>> runs;
  for (const Launch& l : launches) {
    runs.push_back(std::async(std::launch::async, [l, port] {
      if (l.startDelayMs) std::this_thread::sleep_for(std::chrono::milliseconds(l.startDelayMs));
      RunOptions options;
      options.env.push_back(port);
      options.timeoutMs = l.timeoutMs;
      return krtest::runModule(l.module, options);
    }));
  }
  std::vector<RunResult> results;
  for (auto& r : runs) results.push_back(r.get());
  return results;
}

inline std::vector<std::string> valuesOf(const RunResult& r, const std::string& label) {
  std::vector<std::string> values;
  for (const std::string& line : r.logs())
    if (line.compare(0, label.size() + 1, label + "=") == 0) values.push_back(line.substr(label.size() + 1));
  return values;
}

inline std::string value(const RunResult& r, const std::string& label) { return r.value(label); }
inline int number(const RunResult& r, const std::string& label) { return r.number(label); }

inline bool logged(const RunResult& r, const std::string& line) {
  auto logs = r.logs();
  return std::find(logs.begin(), logs.end(), line) != logs.end();
}

inline bool ended(const RunResult& r) { return !r.timedOut && r.errContains("debugInfo: Program has ended"); }

}  // namespace nettest
