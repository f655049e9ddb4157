// The system group: End, Stop, AppTitle, RuntimeError, ExecFile, Delay, MilliSecs,
// the frame-rate timers, DebugLog and the trace hooks of compiled code.
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_runtime.h"
#include "host/timers.h"
#include "lang/kr_string.h"
#include "runtime/command_table.h"
#include "runtime/errors.h"
#include "runtime/handles.h"

namespace kr {

namespace {

// Commands run only inside a run, which always has a host.
HostRuntime& host() {
  HostRuntime* h = currentHost();
  if (!h) std::abort();
  return *h;
}

void end() { endProgram(); }

void stop() {
  host().stop();
  checkEndRequest();
}

void appTitle(krString* title) { host().setTitle(krStringTake(title)); }

char gErrorText[256];

void runtimeError(krString* message) {
  std::size_t n = krStringLength(message);
  if (n > 255) n = 255;
  std::memcpy(gErrorText, krStringData(message), n);
  gErrorText[n] = 0;
  krStringDelete(message);
  host().reportError(gErrorText);
  throw krEx{gErrorText};
}

void execFile(krString* command) {
  std::string line = krStringTake(command);
  checkEndRequest();
  host().execCommandLine(line);
}

void delay(int millisecs) {
  host().delay(millisecs);
  checkEndRequest();
}

int milliSecs() { return static_cast<int>(HostRuntime::milliSecs()); }

int createTimer(int hertz) { return toHandle(host().createTimer(hertz)); }

int waitTimer(int timer) {
  int n = host().waitTimer(fromHandle<Timer>(timer));
  checkEndRequest();
  return n;
}

void freeTimer(int timer) { host().freeTimer(fromHandle<Timer>(timer)); }

void debugLog(krString* text) {
  std::string t = krStringTake(text);
  host().log(t.c_str());
}

void debugStmt(int a, int b) {
  host().traceStmt(a, b);
  host().pumpMessages();
  checkEndRequest();
}

void debugEnter(int a, int b, int c) { host().traceEnter(a, b, c); }

void debugLeave() { host().traceLeave(); }

const CommandEntry kSystemCommands[] = {
    KR_ENTRY("End", end),
    KR_ENTRY("Stop", stop),
    KR_ENTRY("AppTitle$title", appTitle),
    KR_ENTRY("RuntimeError$message", runtimeError),
    KR_ENTRY("ExecFile$command", execFile),
    KR_ENTRY("Delay%millisecs", delay),
    KR_ENTRY("%MilliSecs", milliSecs),
    KR_ENTRY("%CreateTimer%hertz", createTimer),
    KR_ENTRY("%WaitTimer%timer", waitTimer),
    KR_ENTRY("FreeTimer%timer", freeTimer),
    KR_ENTRY("DebugLog$text", debugLog),
    KR_ENTRY("_krDebugStmt", debugStmt),
    KR_ENTRY("_krDebugEnter", debugEnter),
    KR_ENTRY("_krDebugLeave", debugLeave),
};

}  // namespace

extern const CommandGroup systemCommands;
const CommandGroup systemCommands = KR_GROUP("system", kSystemCommands, nullptr, nullptr);

}  // namespace kr
