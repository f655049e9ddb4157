// SIGINT and SIGTERM while a program runs. The first is a close request, the
// same as closing the window: the program ends quietly at its next blocking
// command. A program that does not get there (a loop that never waits) is
// ended at once by a second signal, or when the first one has gone unanswered
// for kCloseGraceMs.
#pragma once

namespace kr {

constexpr int kCloseGraceMs = 3000;

class CloseSignals {
 public:
  // Installs the handlers and starts the thread that answers them. Without
  // that thread the handlers stay as they were (the signal ends the process).
  void install();
  // Stops the thread and puts the previous handlers back.
  void restore();
};

// Work that must happen even when the process is ended at once (a child
// process to stop, a terminal mode to reset). Hooks run on the signal thread
// while the main thread may be anywhere: they must be thread-safe, quick and
// never wait for the main thread. Registered once per process.
void addImmediateEndHook(void (*hook)());

}  // namespace kr
