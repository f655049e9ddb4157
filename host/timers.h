// Frame-rate timers: a thread per timer sleeps to absolute deadlines on the
// monotonic clock and signals an auto-reset event at every tick.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace kr {

class HostRuntime;

struct Timer {
  HostRuntime* host = nullptr;
  int periodMs = 0;  // 0: the timer was refused and never ticks
  std::atomic<std::uint32_t> ticksPut{0};
  std::uint32_t ticksGot = 0;

  std::mutex mutex;
  std::condition_variable signal;
  bool signalled = false;  // the auto-reset event
  bool stopping = false;
  std::thread thread;

  void start();
  void stopTicking();
  // Waits for the event at most timeoutMs; true when it was signalled (and resets it).
  bool waitEvent(int timeoutMs);
};

}  // namespace kr
