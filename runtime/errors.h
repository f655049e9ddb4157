// The runtime's one exception and the ways a run is stopped from inside a command.
#pragma once

struct krEx {
  // Static text of a runtime error that has already been reported, or null for a
  // normal end (End, or an end request noticed by a blocking command).
  const char* message;
};

namespace kr {

// Reports a non-null message through the host's error path, then throws krEx.
[[noreturn]] void raiseRuntimeError(const char* message);

// Ends the program quietly (End).
[[noreturn]] void endProgram();

// Blocking commands call this after their wait: ends the program when the window
// was closed or an end was requested.
void checkEndRequest();

// Non-zero while the current run checks handles ("does not exist" errors).
extern unsigned char debugFlag;

}  // namespace kr
