// Live counts for a watcher. A run answers SIGUSR1 with one line on standard
// error, written by the main thread at its next message pump (so every count is
// read where the records live, never while a command changes them):
//   krstats: strings=S objects=O unreleased=U blocks=B handles=H KIND=N ...
// strings, objects and unreleased are the language-support counters, blocks the
// language-support memory blocks, handles the sum of the KIND counts: the live
// records of each handle registry (bank, channel, font, image, sound, ...) and
// the timers. tools/soak.sh samples it.
#pragma once
#include <string>

namespace kr {

class HostRuntime;

class LiveStatsSignal {
 public:
  // Installs the SIGUSR1 handler for the run; restore puts the previous back.
  void install();
  void restore();
};

// The main thread's part, called by the message pump: writes the line when a
// signal asked for one since the last call.
void reportLiveStatsIfAsked(const HostRuntime& host);

// The line, without its line feed.
std::string liveStatsLine(const HostRuntime* host);

}  // namespace kr
