// The live counts a watcher gets on SIGUSR1: one line per signal, written at
// the next pump, with the run going on undisturbed.
#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <sstream>

#include "tests/support/module_runner.h"

using namespace krtest;

namespace {

using Counts = std::map<std::string, long>;

// Every "krstats: a=1 b=2" line of standard error, as name -> count.
std::vector<Counts> statsLines(const std::string& err) {
  std::vector<Counts> lines;
  std::istringstream in(err);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 9, "krstats: ") != 0) continue;
    Counts counts;
    std::istringstream fields(line.substr(9));
    std::string field;
    while (fields >> field) {
      std::size_t eq = field.find('=');
      if (eq != std::string::npos) counts[field.substr(0, eq)] = std::stol(field.substr(eq + 1));
    }
    lines.push_back(counts);
  }
  return lines;
}

}  // namespace

TEST(LiveStats, EachSignalGetsOneLineOfTheCountsOfThatMoment) {
  RunOptions options;
  options.signalWhen = "debugLog: holding";
  options.signals = {SIGUSR1, SIGUSR1};
  options.signalGapMs = 1800;  // the first lands while everything is held, the second after the frees
  RunResult r = runModule("core_live_stats", options);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.errContains("debugLog: done")) << r.err;
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;

  std::vector<Counts> lines = statsLines(r.err);
  ASSERT_EQ(lines.size(), 2u) << r.err;
  const Counts& held = lines[0];
  const Counts& freed = lines[1];
  EXPECT_EQ(held.at("bank"), 3);
  EXPECT_EQ(held.at("timer"), 1);
  EXPECT_EQ(freed.at("bank"), 2);
  EXPECT_EQ(freed.at("timer"), 0);
  EXPECT_EQ(held.at("handles") - freed.at("handles"), 2);
  // The two kept strings, and no temporary left behind between the reports.
  EXPECT_GE(held.at("strings"), 2);
  EXPECT_EQ(freed.at("strings"), held.at("strings"));
  EXPECT_EQ(held.at("objects"), 0);
  EXPECT_GT(held.at("blocks"), 0);
  // Every kind's count adds up to the total.
  long sum = 0;
  for (const auto& field : held)
    if (field.first != "strings" && field.first != "objects" && field.first != "unreleased" &&
        field.first != "blocks" && field.first != "handles")
      sum += field.second;
  EXPECT_EQ(sum, held.at("handles"));
}
