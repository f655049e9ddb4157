#include "runtime/run.h"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/ucontext.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/host_runtime.h"
#include "runtime/close_signals.h"
#include "runtime/command_table.h"
#include "runtime/errors.h"
#include "runtime/linker.h"
#include "runtime/live_stats.h"
#include "runtime/x87.h"

namespace kr {

unsigned char debugFlag = 0;

namespace {

struct Recovery {
  sigjmp_buf jump;
  const char* message;
  bool fromSignal;
};

Recovery* gRecovery = nullptr;
pthread_t gMainThread;
bool gMainThreadKnown = false;

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP};
constexpr int kFaultSignalCount = sizeof(kFaultSignals) / sizeof(kFaultSignals[0]);

// The alternate stack lets the handler run when the fault is the main stack
// running out.
alignas(16) char gAltStack[64 * 1024];

const char* faultMessage(int sig, siginfo_t* info, void* context) {
  switch (sig) {
    case SIGSEGV:
    case SIGBUS: {
      auto* uc = static_cast<ucontext_t*>(context);
      auto esp = static_cast<unsigned long>(uc->uc_mcontext.gregs[REG_ESP]);
      auto addr = reinterpret_cast<unsigned long>(info->si_addr);
      unsigned long distance = addr > esp ? addr - esp : esp - addr;
      if (sig == SIGSEGV && distance <= 64 * 1024) return "Stack overflow!";
      return "Illegal memory address";
    }
    case SIGILL:
      return "Illegal instruction";
    case SIGFPE:
      if (info->si_code == FPE_INTDIV || info->si_code == FPE_INTOVF) return "Integer divide by zero";
      return "Unknown runtime exception";
    default:
      return "Unknown runtime exception";
  }
}

void onFault(int sig, siginfo_t* info, void* context) {
  // A fault on one of the runtime's own threads is a crash of the runtime,
  // not of the program: the default action takes the process.
  if (!gMainThreadKnown || !pthread_equal(pthread_self(), gMainThread)) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  // The module's block allows reading, writing and executing; pages are only
  // kept from being writable and executable at once until a module needs it.
  if (sig == SIGSEGV && info->si_code == SEGV_ACCERR && fixPageFault(info->si_addr)) return;
  Recovery* r = gRecovery;
  if (!r) {
    // A fault outside a run: let the default action take the process.
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  r->message = faultMessage(sig, info, context);
  r->fromSignal = true;
  siglongjmp(r->jump, 1);
}

struct FaultHandlers {
  struct sigaction previous[kFaultSignalCount];
  stack_t previousStack;

  void install() {
    gMainThread = pthread_self();
    gMainThreadKnown = true;
    stack_t ss{};
    ss.ss_sp = gAltStack;
    ss.ss_size = sizeof(gAltStack);
    sigaltstack(&ss, &previousStack);
    struct sigaction sa {};
    sa.sa_sigaction = onFault;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    for (int i = 0; i < kFaultSignalCount; ++i) sigaction(kFaultSignals[i], &sa, &previous[i]);
  }
  void restore() {
    for (int i = 0; i < kFaultSignalCount; ++i) sigaction(kFaultSignals[i], &previous[i], nullptr);
    sigaltstack(&previousStack, nullptr);
  }
};

bool initGroup(const CommandGroup& group) {
  if (!group.init) return true;
  try {
    return group.init();
  } catch (const krEx&) {
    return false;
  }
}

void shutdownGroup(const CommandGroup& group) {
  if (!group.shutdown) return;
  try {
    group.shutdown();
  } catch (const krEx&) {
    // already reported, or a quiet end: shutdown carries on
  }
}

// Calls the entry under a recovery point. Kept separate so no local of
// runProgram lives across the sigsetjmp.
const char* callEntry(HostRuntime* host, void (*entry)()) {
  Recovery recovery;
  Recovery* previous = gRecovery;
  gRecovery = &recovery;
  if (sigsetjmp(recovery.jump, 1) == 0) {
    entry();
    host->reportOutcome(HostRuntime::Outcome::Ended, "Program has ended");
    recovery.message = nullptr;
  } else if (recovery.fromSignal) {
    host->reportOutcome(HostRuntime::Outcome::Failed, recovery.message);
  }
  gRecovery = previous;
  return recovery.message;
}

}  // namespace

[[noreturn]] void unwindToRecovery(const char* message) {
  Recovery* r = gRecovery;
  if (!r) {
    std::fprintf(stderr, "%s\n", message ? message : "End outside a run");
    std::abort();
  }
  r->message = message;
  r->fromSignal = false;
  siglongjmp(r->jump, 1);
}

void reportRuntimeError(const char* message) {
  if (!message) return;
  if (HostRuntime* host = currentHost()) host->reportOutcome(HostRuntime::Outcome::Failed, message);
}

void raiseRuntimeError(const char* message) {
  reportRuntimeError(message);
  throw krEx{message};
}

void endProgram() { throw krEx{nullptr}; }

void checkEndRequest() {
  HostRuntime* host = currentHost();
  if (host && host->endRequested()) throw krEx{nullptr};
}

const char* runProgram(HostRuntime* host, void (*entry)(), unsigned char debug) {
  debugFlag = debug;
  setCurrentHost(host);
  std::size_t count;
  const CommandGroup* const* groups = commandGroups(&count);
  std::size_t started = 0;
  while (started < count && initGroup(*groups[started])) ++started;
  const char* result;
  if (started < count) {
    result = "Unable to start program";
  } else {
    result = callEntry(host, entry);
  }
  while (started > 0) shutdownGroup(*groups[--started]);
  return result;
}

void executeProgram(void (*entry)(), Debugger* debugger, unsigned char debug, int windowFlags,
                    void* instance) {
  FaultHandlers handlers;
  handlers.install();
  x87::Word previousWord = x87::controlWord();
  x87::setControlWord(x87::moduleWord(previousWord));
  // Installed before the host, so the window system leaves these signals to
  // us; restored before the host goes, so the signal thread never sees it half
  // destroyed.
  CloseSignals closeSignals;
  closeSignals.install();
  LiveStatsSignal liveStats;
  liveStats.install();
  HostRuntime* host = HostRuntime::create(instance, debugger, windowFlags);
  if (host) runProgram(host, entry, debug);
  liveStats.restore();
  closeSignals.restore();
  HostRuntime::destroy(host);
  x87::setControlWord(x87::afterRunWord(previousWord));
  handlers.restore();
}

}  // namespace kr
