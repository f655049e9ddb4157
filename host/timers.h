// Frame-rate timers. One timing thread serves every timer of the run: it
// sleeps to the earliest absolute deadline on the monotonic clock, counts a
// tick for each timer due and signals that timer's auto-reset event. A game
// may keep thousands of timers alive; they cost a record each, not a thread.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>

namespace kr {

struct Timer {
  int periodMs = 0;  // 0: the timer was refused and never ticks
  std::chrono::steady_clock::time_point next;  // the next deadline (timing thread)
  std::uint32_t ticksPut = 0;                  // guarded by the timing thread's lock
  std::uint32_t ticksGot = 0;                  // main thread only
  bool signalled = false;                      // the auto-reset event, same lock
  std::condition_variable event;
};

// Starts a timer ticking (the timing thread starts with the first one). False
// when the thread cannot be started: the timer then never ticks.
bool startTicking(Timer* timer);
// Stops it; it must not be waited on afterwards.
void stopTicking(Timer* timer);
// Waits for the event at most timeoutMs; true when it was signalled (and resets
// it). *ticks receives the ticks counted so far.
bool waitTimerEvent(Timer* timer, int timeoutMs, std::uint32_t* ticks);
// Ends the timing thread once no timer is left (the end of a run).
void stopTimingThread();

}  // namespace kr
