#include "host/timers.h"

#include <time.h>

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "host/host_runtime.h"
#include "runtime/errors.h"

namespace kr {

namespace {

// One thread, so a modest stack: room for the loop and the sanitizers' needs,
// without taking the default 8 MiB of a run's address space.
constexpr std::size_t kTimingStackBytes = 256 * 1024;

class TimingThread {
 public:
  bool add(Timer* timer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_ && !start()) return false;
    timer->next = std::chrono::steady_clock::now() + std::chrono::milliseconds(timer->periodMs);
    due_.push_back(timer);
    std::push_heap(due_.begin(), due_.end(), later);
    wake_.notify_one();
    return true;
  }

  void remove(Timer* timer) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find(due_.begin(), due_.end(), timer);
    if (it == due_.end()) return;
    due_.erase(it);
    std::make_heap(due_.begin(), due_.end(), later);
    wake_.notify_one();
  }

  bool wait(Timer* timer, int timeoutMs, std::uint32_t* ticks) {
    std::unique_lock<std::mutex> lock(mutex_);
    bool got = timer->event.wait_for(lock, std::chrono::milliseconds(timeoutMs), [timer] { return timer->signalled; });
    if (got) timer->signalled = false;
    *ticks = timer->ticksPut;
    return got;
  }

  void stop() {
    pthread_t thread;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!running_) return;
      stopping_ = true;
      wake_.notify_one();
      thread = thread_;
    }
    pthread_join(thread, nullptr);
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = stopping_ = false;
    due_.clear();
  }

 private:
  // Heap order: the earliest deadline on top.
  static bool later(const Timer* a, const Timer* b) { return a->next > b->next; }

  // With the lock held. pthread directly: std::thread cannot set a stack size.
  bool start() {
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    pthread_attr_setstacksize(&attr, kTimingStackBytes);
    bool ok = pthread_create(&thread_, &attr, &TimingThread::main, this) == 0;
    pthread_attr_destroy(&attr);
    running_ = ok;
    return ok;
  }

  static void* main(void* self) {
    static_cast<TimingThread*>(self)->loop();
    return nullptr;
  }

  void loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      if (due_.empty()) {
        wake_.wait(lock);
        continue;
      }
      auto now = std::chrono::steady_clock::now();
      // A copy: the timer may be freed while this thread waits.
      auto deadline = due_.front()->next;
      if (deadline > now) {
        wake_.wait_until(lock, deadline);
        continue;
      }
      while (!due_.empty() && due_.front()->next <= now) {
        std::pop_heap(due_.begin(), due_.end(), later);
        Timer* timer = due_.back();
        // Deadlines are absolute, so ticks do not drift. A timer this thread
        // fell behind on (a loaded machine) gets all its missed ticks at once
        // rather than one round each, so the work stays bounded.
        std::chrono::milliseconds period(timer->periodMs);
        auto missed = static_cast<std::uint32_t>((now - timer->next) / period) + 1;
        timer->ticksPut += missed;
        timer->next += period * missed;
        timer->signalled = true;
        timer->event.notify_all();
        std::push_heap(due_.begin(), due_.end(), later);
      }
      // Let waiters and the main thread's add and remove have the lock between rounds.
      lock.unlock();
      std::this_thread::yield();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Timer*> due_;
  pthread_t thread_{};
  bool running_ = false;
  bool stopping_ = false;
};

TimingThread gTiming;

}  // namespace

bool startTicking(Timer* timer) {
  if (timer->periodMs <= 0) return true;
  try {
    return gTiming.add(timer);
  } catch (const std::exception&) {  // no memory for the heap
    return false;
  }
}

void stopTicking(Timer* timer) { gTiming.remove(timer); }

bool waitTimerEvent(Timer* timer, int timeoutMs, std::uint32_t* ticks) {
  return gTiming.wait(timer, timeoutMs, ticks);
}

void stopTimingThread() { gTiming.stop(); }

Timer* HostRuntime::createTimer(int hertz) {
  if (hertz == 0) raiseRuntimeError("Integer divide by zero");
  auto* timer = new Timer;
  timer->periodMs = 1000 / hertz;
  // A timer the thread cannot serve is refused: it exists but never ticks.
  if (!startTicking(timer)) timer->periodMs = 0;
  timers_.insert(timer);
  return timer;
}

int HostRuntime::waitTimer(Timer* timer) {
  // A handle that is not a live timer is waited on like a timer that never
  // ticks, without touching it.
  bool live = timers_.count(timer) != 0;
  std::uint32_t ticks = 0;
  for (;;) {
    if (endRequested_) return 0;
    if (live && waitTimerEvent(timer, 1000, &ticks)) break;
    if (!live) {
      timespec ts{1, 0};
      nanosleep(&ts, nullptr);
    }
    pumpMessages();
  }
  // Serve the window at least every 100 ms even when the timer keeps ticking, so
  // a loop paced only by WaitTimer still notices the window being closed.
  if (milliSecs() - lastPumpMs_ >= 100) pumpMessages();
  std::uint32_t n = ticks - timer->ticksGot;
  timer->ticksGot = ticks;
  return static_cast<int>(n);
}

void HostRuntime::freeTimer(Timer* timer) {
  auto it = timers_.find(timer);
  if (it == timers_.end()) return;
  timers_.erase(it);
  stopTicking(timer);
  delete timer;
}

}  // namespace kr
