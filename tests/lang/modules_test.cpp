// Language support driven by real modules compiled from C, run by krrun.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/module_runner.h"

namespace {

using krtest::RunResult;
using krtest::runModule;
using Lines = std::vector<std::string>;

// The lines of standard error that come from the module: its logs (without the
// prefix), RuntimeStats and the end or error report.
Lines moduleLines(const RunResult& r) {
  Lines lines;
  std::istringstream in(r.err);
  std::string line;
  const std::string log = "debugLog: ";
  while (std::getline(in, line)) {
    if (line.compare(0, log.size(), log) == 0) {
      lines.push_back(line.substr(log.size()));
    } else if (line.rfind("debugError: ", 0) == 0 || line.rfind("debugInfo: ", 0) == 0 ||
               line.rfind("Active ", 0) == 0 || line.rfind("Unreleased ", 0) == 0 ||
               line.rfind("string@", 0) == 0) {
      lines.push_back(line);
    }
  }
  return lines;
}

// RuntimeStats address lines with the address hidden.
Lines withoutAddresses(Lines lines) {
  for (std::string& line : lines)
    if (line.rfind("string@", 0) == 0 && line.size() == 15) line = "string@*";
  return lines;
}

Lines stats(int strings, int objects, int unreleased) {
  return {"Active strings:" + std::to_string(strings), "Active objects:" + std::to_string(objects),
          "Unreleased Objects:" + std::to_string(unreleased)};
}

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

RunResult run(const std::string& name) {
  RunResult r = runModule(name);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(r.timedOut);
  return r;
}

TEST(LangModules, StringsVariablesTemporariesAndNumberText) {
  RunResult r = run("lang_strings");
  Lines expected = {"load of null: []", "name: Korrin Basic", "abc<abd: -1", "abc>ab: 1",
                    "empty=empty: 0", "200>100: 1", "toInt: -42", "toInt abc: 0",
                    "toFloat: 1000.000000", "0.7: 0.699999", "1/3: 0.333333", "-0.5: -0.500000",
                    "tiny: 0.000000", "big: 3000000000.000000", "inf: Infinity", "min: -2147483648",
                    "length compare: -1"};
  expected = expected + stats(0, 0, 0) + Lines{"debugInfo: Program has ended"};
  EXPECT_EQ(moduleLines(r), expected);
}

std::string nestedChain() {
  std::string text;
  for (int i = 0; i < 8; ++i) text += "[" + std::to_string(10 + i) + ",0.000000,\"\",";
  return text + "...." + std::string(8, ']');
}

TEST(LangModules, ObjectsWalkedReorderedDeletedInLoopsAndPrinted) {
  RunResult r = run("lang_objects");
  Lines expected = {"created 123 backwards 321", "3 first 312 backwards 213", "3 last 123 backwards 321",
                    "visited 13", "left 1 backwards 1", "b is null: 0", "c is null: 0", "a is a: 0",
                    "a is null: 1", "deleted but held"};
  expected = expected + stats(0, 1, 3) + Lines{"released"} + stats(0, 1, 1);
  expected = expected + Lines{"[1,1.500000,\"hi\",[NULL]]", "[1,1.500000,\"hi\",[ROOT]]", nestedChain(),
                              "[NULL]", "[]", "[0,???]", "after delete each  backwards ",
                              "first of empty list is null: 0", "end"};
  expected = expected + stats(0, 2, 3) + Lines{"debugInfo: Program has ended"};
  EXPECT_EQ(moduleLines(r), expected);
}

TEST(LangModules, ArraysDimensionedRedimensionedAndBoundsChecked) {
  RunResult r = run("lang_arrays");
  Lines expected = {"grid sizes 11066", "grid zeros 66", "cube sizes 20624", "single size 1",
                    "never dimensioned 1", "names filled"};
  expected = expected + stats(3, 0, 0) + Lines(3, "string@*") + Lines{"names redimensioned, nulls 2", "names redimensioned"} +
             stats(0, 0, 0) + Lines{"names grown, nulls 601", "names undimensioned twice"} + stats(0, 0, 0) +
             Lines{"things deleted, still in the array"} + stats(0, 0, 2) +
             Lines{"things undimensioned 1", "things released"} + stats(0, 0, 1) +
             Lines{"grid[65] 0", "debugError: Array index out of bounds"};
  EXPECT_EQ(withoutAddresses(moduleLines(r)), expected);
}

TEST(LangModules, DataTableReadAsEveryTypeAndPastItsEnd) {
  RunResult r = run("lang_data");
  Lines expected = {"int 5",          "int 1",          "int 12",          "int 2",
                    "int -2",         "int 2",          "float 5.000000",  "float 1.500000",
                    "float 12.000000", "float 25.000000", "str 5",           "str 1.500000",
                    "str 12abc",      "str -7",         "str 0.699999",    "debugError: Out of data"};
  EXPECT_EQ(moduleLines(r), expected);
}

TEST(LangModules, UnknownDataTypeIsAnError) {
  RunResult r = run("lang_bad_data");
  EXPECT_EQ(moduleLines(r), (Lines{"first 1", "debugError: Bad data type"}));
}

TEST(LangModules, ArithmeticHelpers) {
  RunResult r = run("lang_arithmetic");
  Lines expected = {"abs 5",           "abs min -2147483648", "sgn -1",         "sgn 0",
                    "sgn 1",           "mod -1",              "mod 1",          "mod 0",
                    "fabs 2.500000",   "fsgn 0.000000",       "fsgn -1.000000", "fsgn 1.000000",
                    "fmod -1.500000",  "fmod by 0 NaN",       "pow 1024.000000", "pow 10000000.000000",
                    "pow 1.414213",    "pow NaN",             "debugError: Integer divide by zero"};
  EXPECT_EQ(moduleLines(r), expected);
}

TEST(LangModules, RuntimeErrorsOfObjectsAndMemory) {
  RunResult nullObject = run("lang_null_object");
  EXPECT_EQ(moduleLines(nullObject), (Lines{"before", "debugError: Object does not exist"}));
  RunResult huge = run("lang_huge_array");
  EXPECT_EQ(moduleLines(huge), (Lines{"before", "debugError: Out of memory"}));
}

TEST(LangModules, RuntimeStatsListsEveryLiveString) {
  RunResult r = run("lang_stats");
  Lines lines = moduleLines(r);
  ASSERT_EQ(lines.size(), 3u + 3u + 6u + 1u) << r.err;
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3), stats(0, 0, 0));
  Lines logged(lines.begin() + 3, lines.begin() + 6);  // the module's own view of its strings
  EXPECT_EQ(Lines(lines.begin() + 6, lines.begin() + 9), stats(3, 2, 2));
  EXPECT_EQ(Lines(lines.begin() + 9, lines.begin() + 12), logged);
  EXPECT_EQ(lines.back(), "debugInfo: Program has ended");
}

TEST(LangModules, RuntimeStatsWritesToStandardErrorWithoutADebugger) {
  krtest::RunOptions options;
  options.debug = false;
  RunResult r = runModule("lang_stats", options);
  EXPECT_EQ(r.exitCode, 0);
  Lines lines = moduleLines(r);
  ASSERT_EQ(lines.size(), 9u) << r.err;
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 6), stats(0, 0, 0) + stats(3, 2, 2));
  for (int i = 6; i < 9; ++i) EXPECT_EQ(lines[i].size(), std::string("string@").size() + 8) << lines[i];
}

}  // namespace
