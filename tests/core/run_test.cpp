// Modules compiled from C, run by krrun headless: how a run ends, fails and
// reports.
#include <gtest/gtest.h>
#include <cstring>
#include <signal.h>

#include "runtime/module_format.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using Lines = std::vector<std::string>;

TEST(ModuleRun, EmptyModuleReturnsAndReportsEnd) {
  RunResult r = runModule("core_empty_return");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
}

TEST(ModuleRun, EndDeepInsideNestedCallsUnwindsQuietly) {
  RunResult r = runModule("core_end_nested");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.logs(), Lines{"ending at the bottom"});
  EXPECT_FALSE(r.errContains("debugInfo")) << r.err;
  EXPECT_FALSE(r.errContains("debugError")) << r.err;
}

TEST(ModuleRun, RuntimeErrorMessageIsCutTo255Characters) {
  RunResult r = runModule("core_runtime_error");
  EXPECT_EQ(r.exitCode, 0);
  std::string expected;
  for (int i = 0; i < 255; ++i) expected += static_cast<char>('a' + i % 26);
  EXPECT_TRUE(r.errContains("debugError: " + expected + "\n")) << r.err;
  EXPECT_TRUE(r.logs().empty());
  EXPECT_FALSE(r.errContains("Program has ended"));
}

TEST(ModuleRun, DefaultDebuggerShowsErrorBoxTextOnStandardError) {
  RunOptions quiet;
  quiet.debug = false;
  RunResult r = runModule("core_div_zero", quiet);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "Error!: Integer divide by zero\n");
}

struct FaultCase {
  const char* module;
  const char* message;
};

class FaultInModuleCode : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultInModuleCode, EndsTheRunWithItsMessage) {
  RunResult r = runModule(GetParam().module);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.logs(), Lines{"before"});
  EXPECT_TRUE(r.errContains(std::string("debugError: ") + GetParam().message + "\n")) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultInModuleCode,
                         ::testing::Values(FaultCase{"core_div_zero", "Integer divide by zero"},
                                           FaultCase{"core_null_write", "Illegal memory address"},
                                           FaultCase{"core_recursion", "Stack overflow!"},
                                           FaultCase{"core_illegal", "Illegal instruction"}));

TEST(ModuleRun, UnresolvedNameStopsLinkingWithExitCodeZero) {
  RunResult r = runModule("core_unresolved");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "Can't find symbol: _fnosuchcommand\n");
}

TEST(ModuleRun, ModuleFunctionNamedLikeACommandTakesItsFixups) {
  RunResult r = runModule("core_shadow_command");
  EXPECT_EQ(r.logs(), (Lines{"module's own End", "module's own End", "calls=2"}));
  EXPECT_TRUE(r.errContains("Program has ended"));
}

TEST(ModuleRun, TimerTicksAtItsRate) {
  RunResult r = runModule("core_timer");
  Lines logs = r.logs();
  ASSERT_EQ(logs.size(), 4u) << r.err;
  EXPECT_EQ(logs[0], "first=1");
  int ticks = std::stoi(logs[1].substr(6));
  EXPECT_GE(ticks, 47);
  EXPECT_LE(ticks, 53);
  int late = std::stoi(logs[2].substr(8));
  EXPECT_GE(late, 2);
  EXPECT_LE(late, 8);  // a loaded machine may oversleep the 55 ms
  EXPECT_EQ(logs[3], "freed twice");
}

TEST(ModuleRun, ThousandsOfLiveTimersAllTickAndFree) {
  RunOptions o;
  o.timeoutMs = 60000;  // slow under the sanitizers
  RunResult r = runModule("core_many_timers", o);
  EXPECT_EQ(r.logs(), (Lines{"missing=0", "ticking=2", "fresh first=1"})) << r.err;
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
}

TEST(ModuleRun, TimerOfZeroHertzIsADivisionByZero) {
  RunResult r = runModule("core_timer_zero");
  EXPECT_TRUE(r.errContains("debugError: Integer divide by zero")) << r.err;
  EXPECT_TRUE(r.logs().empty());
}

TEST(ModuleRun, SystemCommandsTitleClockDelayAndExecFile) {
  TempDir dir;
  RunResult r = runModuleIn("core_system", dir);
  Lines logs = r.logs();
  ASSERT_EQ(logs.size(), 4u) << r.err;
  int delay = std::stoi(logs[0].substr(9));
  EXPECT_GE(delay, 250);
  EXPECT_LT(delay, 400);
  EXPECT_LT(std::stoi(logs[1].substr(7)), 50);
  EXPECT_EQ(logs[2], "after exec");
  EXPECT_EQ(logs[3], "");
  EXPECT_EQ(readFile(dir.file("execfile.txt")), "ran\n");
}

TEST(ModuleRun, StopWaitsForEnterOnTheConsoleDebugger) {
  RunOptions options;
  options.stdinText = "\n";
  options.timeoutMs = 3000;
  RunResult r = runModule("core_stop", options);
  // The program resumes after Enter, then waits in Delay until killed.
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.logs(), (Lines{"before stop", "resumed"}));
  auto stop = r.err.find("debugStop");
  auto run = r.err.find("debugRun");
  ASSERT_NE(stop, std::string::npos) << r.err;
  ASSERT_NE(run, std::string::npos) << r.err;
  EXPECT_LT(stop, run);
}

TEST(ModuleRun, SinglePrecisionWhileCompiledCodeRuns) {
  EXPECT_EQ(runModule("core_precision").logs(), Lines{"24-bit"});
}

TEST(ModuleRun, GroupsShutDownNormallyAfterARuntimeError) {
  TempDir dir;
  RunResult r = runModuleIn("core_error_shutdown", dir);
  EXPECT_TRUE(r.errContains("debugError: stopped with a file open")) << r.err;
  std::string text = readFile(dir.file("left-open.txt"));
  EXPECT_EQ(text.size(), 1000u * 33u);
}

TEST(ModuleRun, ExecFileProgramInheritsOnlyStandardHandles) {
  TempDir dir;
  RunResult r = runModuleIn("core_exec_handles", dir);
  EXPECT_TRUE(r.errContains("Program has ended")) << r.err;
  // ls sees its three standard streams and the listing it is reading, nothing else.
  EXPECT_EQ(readFile(dir.file("fds.txt")), "0\n1\n2\n3\n");
}

TEST(ModuleRun, StartsInASmallAddressSpace) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer reserves more address space than the limit allows";
#endif
  // Headless runs need no GL driver: 120 MB of address space is plenty.
  std::string command = "ulimit -v 120000 && exec \"$0\" --debug \"$1\"";
  RunResult r = runProgram({"/bin/sh", "-c", command, buildPath("krrun"), modulePath("core_hello")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.logs(), Lines{"hello 42"});
}

// Ctrl-C and kill: the first signal asks the program to close, which a program
// waiting in a blocking command answers by ending quietly; a runaway loop is
// ended by a second signal, or once the first has gone unanswered for 3 s.
TEST(ModuleRun, CloseSignalEndsAWaitingProgramQuietly) {
  for (int sig : {SIGINT, SIGTERM}) {
    RunOptions o;
    o.signalWhen = "debugLog: waiting";
    o.signals = {sig};
    RunResult r = runModule("core_wait_close", o);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.killedBy, 0);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(r.errContains("debugError")) << r.err;
  }
}

TEST(ModuleRun, SecondCloseSignalEndsARunawayProgramAtOnce) {
  RunOptions o;
  o.signalWhen = "debugLog: spinning";
  o.signals = {SIGINT, SIGINT};
  o.signalGapMs = 200;
  RunResult r = runModule("core_spin", o);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.killedBy, SIGINT);
  EXPECT_LT(r.msAfterSignals, 2000);
}

TEST(ModuleRun, UnansweredCloseSignalEndsARunawayProgramAfterThreeSeconds) {
  RunOptions o;
  o.signalWhen = "debugLog: spinning";
  o.signals = {SIGTERM};
  o.timeoutMs = 15000;
  RunResult r = runModule("core_spin", o);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.killedBy, SIGTERM);
  EXPECT_GE(r.msAfterSignals, 2900);
  EXPECT_LT(r.msAfterSignals, 8000);
}

namespace {

// The module with every data-looking name renamed, so nothing tells the linker
// where its data starts.
std::string withoutDataNames(const std::string& bytes) {
  kr::ModuleContainer m;
  std::size_t pos = 0;
  auto u32 = [&] {
    std::uint32_t v;
    std::memcpy(&v, bytes.data() + pos, 4);
    pos += 4;
    return v;
  };
  std::uint32_t codeSize = u32();
  m.code.assign(bytes.begin() + static_cast<long>(pos), bytes.begin() + static_cast<long>(pos + codeSize));
  pos += codeSize;
  for (auto* list : {&m.symbols, &m.relative, &m.absolute}) {
    for (std::uint32_t n = u32(); n > 0; --n) {
      std::string name(bytes.c_str() + pos);
      pos += name.size() + 1;
      if (name[0] == '_' && (name[1] == 'v' || name[1] == 'a' || name[1] == 't')) name = "data" + name;
      list->emplace_back(name, u32());
    }
  }
  return m.bytes<std::string>();
}

}  // namespace

TEST(ModuleRun, DataAndCodeAnywhereInTheBlockWork) {
  TempDir dir;
  writeFile(dir.file("unnamed.krm"), withoutDataNames(readFile(modulePath("core_data_layout"))));
  for (const std::string& module : {modulePath("core_data_layout"), dir.file("unnamed.krm")}) {
    RunResult r = runModule(module);
    EXPECT_EQ(r.logs(), (Lines{"sum=106496", "routine=42", "patched=43"})) << module << "\n" << r.err;
    EXPECT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
  }
}

TEST(ModuleRun, TextReachesTheTerminalAsUtf8) {
  RunResult debug = runModule("core_text_1252");
  EXPECT_EQ(debug.logs(), Lines{"Caf\u00e9 \u20ac \u0178!"});
  EXPECT_TRUE(debug.errContains("debugError: Men\u00fc \u00e9puis\u00e9\n")) << debug.err;
  RunOptions quiet;
  quiet.debug = false;
  RunResult boxed = runModule("core_text_1252", quiet);
  EXPECT_EQ(boxed.err, "Error!: Men\u00fc \u00e9puis\u00e9\n");
}

// Texts over 1 GiB: more than a C++ string may hold on i386.
TEST(ModuleRun, HugeTextArgumentsNeverAbort) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory leaves no room for 1 GiB strings";
#endif
  RunOptions o;
  o.timeoutMs = 90000;  // four 1.1 GB strings to fill on a shared machine
  RunResult r = runModule("core_huge_text", o);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.logs(), (Lines{"(text too long to show)", "exec done", "saved=0"})) << r.err;
  EXPECT_TRUE(r.errContains("debugError: Out of memory")) << r.err;
}
