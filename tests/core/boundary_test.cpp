// A C++ exception other than the runtime's own must never unwind into module
// code (it has no unwind tables: the process would abort). The boundary turns
// it into a runtime error that ends the run like any other.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/boundary.h"
#include "runtime/run.h"
#include "runtime/runtime_api.h"

namespace {

class Reports : public Debugger {
 public:
  std::vector<std::string> lines;
  void debugRun() override {}
  void debugStop() override {}
  void debugStmt(int, int) override {}
  void debugEnter(int, int, int) override {}
  void debugLeave() override {}
  void debugInfo(const char* m) override { lines.push_back(std::string("info: ") + m); }
  void debugError(const char* m) override { lines.push_back(std::string("error: ") + m); }
  void debugLog(const char*) override {}
};

bool gReturned = false;

int failsToAllocate(int) { throw std::bad_alloc(); }
int growsPastMaxSize(int n) { return static_cast<int>(std::string(static_cast<std::size_t>(-1) - n, 'x').size()); }
int failsOtherwise(int) { throw std::runtime_error("a library's own failure"); }
int endsQuietly(int) { throw krEx{nullptr}; }

template <int (*F)(int)>
void entry() {
  kr::Boundary<F>::entry(1);
  gReturned = true;  // never reached: the run unwinds past the module's frame
}

std::vector<std::string> run(void (*module)()) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  Reports reports;
  gReturned = false;
  kr::executeProgram(module, &reports, 0, 0, nullptr);
  EXPECT_FALSE(gReturned);
  return reports.lines;
}

TEST(Boundary, ForeignExceptionsEndTheRunAsRuntimeErrors) {
  EXPECT_EQ(run(entry<failsToAllocate>), std::vector<std::string>{"error: Out of memory"});
  EXPECT_EQ(run(entry<growsPastMaxSize>), std::vector<std::string>{"error: Out of memory"});
  EXPECT_EQ(run(entry<failsOtherwise>), std::vector<std::string>{"error: Unknown runtime exception"});
  EXPECT_EQ(run(entry<endsQuietly>), std::vector<std::string>{});
}

}  // namespace
