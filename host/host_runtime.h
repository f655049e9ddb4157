// HostRuntime: the one object through which the runtime meets the window system.
// It owns the main window and the message pump, pauses and resumes the program,
// carries the end request, reports to the debugger and holds the driver slots
// that the command groups open and close.
#pragma once
#include <atomic>
#include <cstdint>
#include <set>

#include "graphics/display_kind.h"

class Debugger;
// Only the host and the drivers below it see SDL itself.
union SDL_Event;
struct SDL_Window;

namespace kr {

// Base of every driver object a group opens through the host. The host forwards
// window events to open drivers and tells them when the program pauses.
class Driver {
 public:
  virtual ~Driver() = default;
  virtual void onEvent(const SDL_Event&) {}
  virtual void onPause() {}   // full-screen focus loss: back up what would be lost
  virtual void onResume() {}  // restore it
};

enum class DriverSlot { Audio, Input, Graphics, FileSystem, Count };

struct Timer;

class HostRuntime {
 public:
  // Null when a host exists already.
  static HostRuntime* create(void* instance, Debugger* debugger, int windowFlags);
  static void destroy(HostRuntime* host);

  void pumpMessages();
  bool endRequested() const { return endRequested_; }
  bool suspended() const { return suspended_; }
  void stop();

  // The one report that ends a run: a runtime error ("debugError") or the
  // program's end ("debugInfo"). Only the first reaches the debugger, which is
  // detached first; the run is then asked to end.
  enum class Outcome { Ended, Failed };
  void reportOutcome(Outcome outcome, const char* message);
  void log(const char* text);
  void traceStmt(int a, int b);
  void traceEnter(int a, int b, int c);
  void traceLeave();
  Debugger* debugger() const { return debugger_; }

  // Texts are Windows-1252, as programs hold them.
  void setTitle(const char* title, std::size_t length);
  void delay(int millisecs);
  void execCommandLine(const char* commandLine);
  static std::uint32_t milliSecs();

  Timer* createTimer(int hertz);
  int waitTimer(Timer* timer);
  void freeTimer(Timer* timer);
  std::size_t timerCount() const { return timers_.size(); }

  // Driver slots. open returns null (and changes nothing) when the slot is taken
  // or the factory fails; close does nothing unless given the very open driver.
  template <class D, class Make>
  D* openDriver(DriverSlot slot, Make make) {
    Driver*& s = drivers_[static_cast<int>(slot)];
    if (s) return nullptr;
    D* d = make();
    s = d;
    pumpMessages();
    return d;
  }
  void closeDriver(DriverSlot slot, Driver* driver);
  Driver* driver(DriverSlot slot) const { return drivers_[static_cast<int>(slot)]; }

  SDL_Window* window() const { return window_; }
  DisplayKind displayKind() const { return displayKind_; }
  void setDisplayKind(DisplayKind kind) { displayKind_ = kind; }
  bool busy() const { return busy_; }
  void setBusy(bool busy) { busy_ = busy; }

  void pauseAction();
  void resumeAction();
  void pauseRequestAction();
  void resumeRequestAction();

  // Thread-safe: post the runtime's own requests to the main window.
  static void postPauseRequest();
  static void postResumeRequest();
  static void postWakeUp();
  // Thread-safe: the close request (window closed, asyncEnd, a first SIGINT or
  // SIGTERM). The debugger is detached; the next blocking command ends the run.
  void requestEnd();

 private:
  HostRuntime() = default;
  ~HostRuntime();
  void handleEvent(const SDL_Event& event);
  Debugger* takeDebugger();

  SDL_Window* window_ = nullptr;
  void* instance_ = nullptr;
  Driver* drivers_[static_cast<int>(DriverSlot::Count)] = {};
  std::atomic<Debugger*> debugger_{nullptr};
  std::atomic<bool> endRequested_{false};
  bool suspended_ = false;
  bool busy_ = false;
  DisplayKind displayKind_ = DisplayKind::None;
  std::uint32_t lastPumpMs_ = 0;
  std::set<Timer*> timers_;
};

// The host of the run in progress, null outside a run. Safe from any thread
// (a development environment's asyncEnd, the signal watcher).
HostRuntime* currentHost();
void setCurrentHost(HostRuntime* host);

// Shows a message box (never blocking where no display exists) and writes
// "CAPTION: TEXT" (or "TEXT" without a caption) to standard error. Both texts
// are Windows-1252.
void showMessageBox(const char* caption, const char* text);

}  // namespace kr
