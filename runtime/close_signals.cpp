#include "runtime/close_signals.h"

#include <errno.h>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <time.h>

#include <atomic>

#include "host/host_runtime.h"

namespace kr {

namespace {

constexpr int kCloseSignals[] = {SIGINT, SIGTERM};
constexpr int kCloseSignalCount = sizeof(kCloseSignals) / sizeof(kCloseSignals[0]);
constexpr int kMaxHooks = 16;

sem_t gArrived;
std::atomic<int> gLastSignal{0};
std::atomic<bool> gStopping{false};
bool gInstalled = false;
pthread_t gThread;
struct sigaction gPrevious[kCloseSignalCount];

std::atomic<int> gHookCount{0};
void (*gHooks[kMaxHooks])();

// Async-signal-safe: records the signal and wakes the thread.
void onCloseSignal(int sig) {
  int savedErrno = errno;
  gLastSignal.store(sig);
  sem_post(&gArrived);
  errno = savedErrno;
}

void waitForSignal() {
  while (sem_wait(&gArrived) != 0) {
  }
}

// False when the grace period ran out, true when a signal (or the stop) came.
bool waitForSignalUntil(const timespec& deadline) {
  for (;;) {
    if (sem_clockwait(&gArrived, CLOCK_MONOTONIC, &deadline) == 0) return true;
    if (errno == ETIMEDOUT) return false;
  }
}

[[noreturn]] void endProcessNow(int sig) {
  int hooks = gHookCount.load();
  for (int i = 0; i < hooks; ++i) gHooks[i]();
  // Die of the signal itself, so the parent (a shell, a test) sees why.
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  _exit(128 + sig);
}

void* answerSignals(void*) {
  // This thread takes no signal itself: they go to the main thread's handler.
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
  waitForSignal();
  if (gStopping.load()) return nullptr;
  if (HostRuntime* host = currentHost()) host->requestEnd();
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += kCloseGraceMs / 1000;
  deadline.tv_nsec += (kCloseGraceMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) deadline.tv_sec += 1, deadline.tv_nsec -= 1000000000L;
  waitForSignalUntil(deadline);
  if (gStopping.load()) return nullptr;
  endProcessNow(gLastSignal.load());
}

}  // namespace

void addImmediateEndHook(void (*hook)()) {
  int index = gHookCount.load();
  if (index >= kMaxHooks) return;
  gHooks[index] = hook;
  gHookCount.store(index + 1);
}

void CloseSignals::install() {
  if (gInstalled || sem_init(&gArrived, 0, 0) != 0) return;
  gStopping = false;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  bool started = pthread_create(&gThread, &attr, answerSignals, nullptr) == 0;
  pthread_attr_destroy(&attr);
  if (!started) {
    sem_destroy(&gArrived);
    return;
  }
  struct sigaction sa {};
  sa.sa_handler = onCloseSignal;
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  for (int i = 0; i < kCloseSignalCount; ++i) sigaction(kCloseSignals[i], &sa, &gPrevious[i]);
  gInstalled = true;
}

void CloseSignals::restore() {
  if (!gInstalled) return;
  for (int i = 0; i < kCloseSignalCount; ++i) sigaction(kCloseSignals[i], &gPrevious[i], nullptr);
  gStopping = true;
  sem_post(&gArrived);
  pthread_join(gThread, nullptr);
  sem_destroy(&gArrived);
  gInstalled = false;
}

}  // namespace kr
