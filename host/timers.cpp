#include "host/timers.h"

#include <time.h>

#include "host/host_runtime.h"
#include "runtime/errors.h"

namespace kr {

void Timer::start() {
  if (periodMs <= 0) return;
  thread = std::thread([this] {
    // Deadlines are absolute (steady_clock is CLOCK_MONOTONIC), so ticks do not drift.
    auto next = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      next += std::chrono::milliseconds(periodMs);
      if (signal.wait_until(lock, next, [this] { return stopping; })) return;
      ticksPut.fetch_add(1, std::memory_order_release);
      signalled = true;
      signal.notify_all();
    }
  });
}

void Timer::stopTicking() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  signal.notify_all();
  if (thread.joinable()) thread.join();
}

bool Timer::waitEvent(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex);
  bool got = signal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return signalled || stopping; });
  if (!got || !signalled) return false;
  signalled = false;
  return true;
}

Timer* HostRuntime::createTimer(int hertz) {
  if (hertz == 0) raiseRuntimeError("Integer divide by zero");
  auto* timer = new Timer;
  timer->host = this;
  timer->periodMs = 1000 / hertz;
  timer->start();
  timers_.insert(timer);
  return timer;
}

int HostRuntime::waitTimer(Timer* timer) {
  // A handle that is not a live timer is waited on like a timer that never
  // ticks, without touching it.
  bool live = timers_.count(timer) != 0;
  for (;;) {
    if (endRequested_) return 0;
    if (live && timer->waitEvent(1000)) break;
    if (!live) {
      timespec ts{1, 0};
      nanosleep(&ts, nullptr);
    }
    pumpMessages();
  }
  // Serve the window at least every 100 ms even when the timer keeps ticking, so
  // a loop paced only by WaitTimer still notices the window being closed.
  if (milliSecs() - lastPumpMs_ >= 100) pumpMessages();
  std::uint32_t n = timer->ticksPut.load(std::memory_order_acquire) - timer->ticksGot;
  timer->ticksGot += n;
  return static_cast<int>(n);
}

void HostRuntime::freeTimer(Timer* timer) {
  auto it = timers_.find(timer);
  if (it == timers_.end()) return;
  timers_.erase(it);
  timer->stopTicking();
  delete timer;
}

}  // namespace kr
