// The host below the commands: the pump's timing, timers and the busy guard.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <SDL2/SDL.h>

#include "host/host_runtime.h"
#include "host/timers.h"
#include "runtime/runtime_api.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes when the pump delivered each event.
class EventClock : public kr::Driver {
 public:
  void onEvent(const SDL_Event& e) override {
    if (e.type == type) seen.push_back(Clock::now());
  }
  const Uint32 type = SDL_RegisterEvents(1);
  std::vector<Clock::time_point> seen;
};

class NullDebugger : public Debugger {
 public:
  void debugRun() override {}
  void debugStop() override {}
  void debugStmt(int, int) override {}
  void debugEnter(int, int, int) override {}
  void debugLeave() override {}
  void debugInfo(const char*) override {}
  void debugError(const char* m) override { errors.push_back(m); }
  void debugLog(const char*) override {}
  std::vector<std::string> errors;
};

struct HostFixture : ::testing::Test {
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    host = kr::HostRuntime::create(nullptr, &debugger, 0);
    ASSERT_NE(host, nullptr);
    kr::setCurrentHost(host);
  }
  void TearDown() override { kr::HostRuntime::destroy(host); }
  NullDebugger debugger;
  kr::HostRuntime* host = nullptr;
};

long msBetween(Clock::time_point a, Clock::time_point b) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count());
}

}  // namespace

TEST_F(HostFixture, OnlyOneHostAtATime) { EXPECT_EQ(kr::HostRuntime::create(nullptr, nullptr, 0), nullptr); }

TEST_F(HostFixture, DelayServesTheWindowAtLeastEvery100Ms) {
  auto* events = host->openDriver<EventClock>(kr::DriverSlot::Input, [] { return new EventClock; });
  ASSERT_NE(events, nullptr);
  EXPECT_EQ(host->openDriver<EventClock>(kr::DriverSlot::Input, [] { return new EventClock; }), nullptr);
  std::atomic<bool> done{false};
  std::thread poster([&] {
    while (!done) {
      SDL_Event e;
      SDL_zero(e);
      e.type = events->type;
      SDL_PushEvent(&e);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  auto start = Clock::now();
  host->delay(450);
  auto end = Clock::now();
  done = true;
  poster.join();
  EXPECT_GE(msBetween(start, end), 449);  // the clock counts whole milliseconds
  ASSERT_GE(events->seen.size(), 4u);
  Clock::time_point previous = start;
  for (auto t : events->seen) {
    EXPECT_LE(msBetween(previous, t), 150);  // 100 ms between pumps, plus scheduling slack
    previous = t;
  }
  host->closeDriver(kr::DriverSlot::Input, events);
  EXPECT_EQ(host->driver(kr::DriverSlot::Input), nullptr);
}

TEST_F(HostFixture, SixtyHertzTicksEvery16Ms) {
  kr::Timer* timer = host->createTimer(60);
  EXPECT_EQ(timer->periodMs, 16);
  host->waitTimer(timer);
  auto start = Clock::now();
  int ticks = 0;
  while (msBetween(start, Clock::now()) < 1000) ticks += host->waitTimer(timer);
  EXPECT_GE(ticks, 59);
  EXPECT_LE(ticks, 66);
  host->freeTimer(timer);
}

TEST_F(HostFixture, TimerThatNeverTicksServesTheWindowUntilEnded) {
  kr::Timer* timer = host->createTimer(5000);  // a period of 0 ms: refused, never ticks
  std::thread ender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    host->requestEnd();
  });
  auto start = Clock::now();
  EXPECT_EQ(host->waitTimer(timer), 0);
  ender.join();
  EXPECT_LE(msBetween(start, Clock::now()), 1300);
  EXPECT_TRUE(host->endRequested());
}

TEST_F(HostFixture, PumpingWhileBusyReportsBusyOnce) {
  host->setBusy(true);
  host->pumpMessages();
  host->pumpMessages();
  host->setBusy(false);
  EXPECT_EQ(debugger.errors, std::vector<std::string>{"BUSY!"});
  EXPECT_TRUE(host->endRequested());
  EXPECT_EQ(host->debugger(), nullptr);
}
