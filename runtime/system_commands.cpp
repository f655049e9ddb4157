// The system group: End, Stop, AppTitle, RuntimeError, ExecFile, Delay, MilliSecs,
// the frame-rate timers, DebugLog and the trace hooks of compiled code.
#include <cstring>

#include "host/host_runtime.h"
#include "host/timers.h"
#include "lang/kr_string.h"
#include "runtime/command_table.h"
#include "runtime/errors.h"
#include "runtime/handles.h"

namespace kr {

namespace {

void end() { endProgram(); }

void stop() {
  currentHost()->stop();
  checkEndRequest();
}

void appTitle(krString* title) {
  StringArgument text(title);
  try {
    currentHost()->setTitle(krStringData(title), krStringLength(title));
  } catch (const std::exception&) {
    raiseRuntimeError("Out of memory");
  }
}

char gErrorText[256];

void runtimeError(krString* message) {
  std::size_t n = krStringLength(message);
  if (n > 255) n = 255;
  std::memcpy(gErrorText, krStringData(message), n);
  gErrorText[n] = 0;
  krStringDelete(message);
  currentHost()->reportOutcome(HostRuntime::Outcome::Failed, gErrorText);
  throw krEx{gErrorText};
}

void execFile(krString* command) {
  StringArgument line(command);
  checkEndRequest();
  currentHost()->execCommandLine(krStringData(command));
}

void delay(int millisecs) {
  currentHost()->delay(millisecs);
  checkEndRequest();
}

int milliSecs() { return static_cast<int>(HostRuntime::milliSecs()); }

int createTimer(int hertz) { return toHandle(currentHost()->createTimer(hertz)); }

int waitTimer(int timer) {
  int n = currentHost()->waitTimer(fromHandle<Timer>(timer));
  checkEndRequest();
  return n;
}

void freeTimer(int timer) { currentHost()->freeTimer(fromHandle<Timer>(timer)); }

void debugLog(krString* text) {
  StringArgument owned(text);
  currentHost()->log(krStringData(text));
}

void debugStmt(int a, int b) {
  currentHost()->traceStmt(a, b);
  currentHost()->pumpMessages();
  checkEndRequest();
}

void debugEnter(int a, int b, int c) { currentHost()->traceEnter(a, b, c); }

void debugLeave() { currentHost()->traceLeave(); }

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
