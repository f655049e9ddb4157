#include "host/host_runtime.h"

#include <SDL2/SDL.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/timers.h"
#include "runtime/live_stats.h"
#include "runtime/runtime_api.h"
#include "runtime/text_encoding.h"

extern char** environ;

namespace kr {

namespace {

std::atomic<HostRuntime*> gHost{nullptr};
bool gHostExists = false;
Uint32 gPauseEvent = 0;  // pause, resume and wake-up are three consecutive user events

Uint32 pauseEventType() { return gPauseEvent; }
Uint32 resumeEventType() { return gPauseEvent + 1; }
Uint32 wakeEventType() { return gPauseEvent + 2; }

void pushUserEvent(Uint32 type) {
  if (!gPauseEvent) return;
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  SDL_PushEvent(&e);
}

bool displayAvailable() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) driver = SDL_getenv("SDL_VIDEODRIVER");
  if (driver && (!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy"))) return false;
  return SDL_getenv("DISPLAY") || SDL_getenv("WAYLAND_DISPLAY");
}

}  // namespace

HostRuntime* currentHost() { return gHost.load(std::memory_order_acquire); }
void setCurrentHost(HostRuntime* host) { gHost.store(host, std::memory_order_release); }

void showMessageBox(const char* caption, const char* text) {
  std::string utf8Caption, utf8Text;
  try {
    utf8Caption = windows1252ToUtf8(caption ? caption : "");
    utf8Text = windows1252ToUtf8(text);
  } catch (const std::exception&) {
    utf8Text = "Out of memory";  // the box must still say something
  }
  if (!utf8Caption.empty())
    std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
  else
    std::fprintf(stderr, "%s\n", utf8Text.c_str());
  std::fflush(stderr);
  if (displayAvailable())
    SDL_ShowSimpleMessageBox(0, utf8Caption.empty() ? "Error" : utf8Caption.c_str(), utf8Text.c_str(), nullptr);
}

HostRuntime* HostRuntime::create(void* instance, Debugger* debugger, int windowFlags) {
  if (gHostExists) return nullptr;
  // SIGINT and SIGTERM are the runtime's own (runtime/close_signals.h).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
    return nullptr;
  }
  if (!gPauseEvent) {
    Uint32 first = SDL_RegisterEvents(3);
    if (first == static_cast<Uint32>(-1)) return nullptr;
    gPauseEvent = first;
  }
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
  if (windowFlags & 1) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  SDL_Window* window = SDL_CreateWindow("Korrin Runtime Window", SDL_WINDOWPOS_UNDEFINED,
                                        SDL_WINDOWPOS_UNDEFINED, 1, 1, flags);
  if (!window) {
    std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
    return nullptr;
  }
  auto* host = new HostRuntime;
  host->debugger_ = debugger;
  host->instance_ = instance;
  host->window_ = window;
  gHostExists = true;
  host->pumpMessages();
  return host;
}

void HostRuntime::destroy(HostRuntime* host) {
  if (!host) return;
  delete host;
  if (currentHost() == host) setCurrentHost(nullptr);
  gHostExists = false;
}

HostRuntime::~HostRuntime() {
  stopTimingThread();  // before the timers go: the thread reads them
  for (Timer* timer : timers_) delete timer;
  timers_.clear();
  for (DriverSlot slot : {DriverSlot::Audio, DriverSlot::Graphics, DriverSlot::Input})
    closeDriver(slot, driver(slot));
  if (window_) SDL_DestroyWindow(window_);
  // Drop requests that were posted for this run so the next run starts clean.
  SDL_FlushEvents(SDL_USEREVENT, SDL_LASTEVENT);
  SDL_FlushEvent(SDL_QUIT);
}

void HostRuntime::closeDriver(DriverSlot slot, Driver* d) {
  Driver*& s = drivers_[static_cast<int>(slot)];
  if (!d || d != s) return;
  s = nullptr;
  delete d;
}

void HostRuntime::pumpMessages() {
  lastPumpMs_ = milliSecs();
  reportLiveStatsIfAsked(*this);
  for (;;) {
    if (busy_) reportOutcome(Outcome::Failed, "BUSY!");
    SDL_Event event;
    if (suspended_ && !endRequested_) {
      if (!SDL_WaitEvent(&event)) return;
    } else if (!SDL_PollEvent(&event)) {
      return;
    }
    if (event.type == pauseEventType()) {
      if (!suspended_) pauseRequestAction();
    } else if (event.type == resumeEventType()) {
      if (suspended_) resumeRequestAction();
    } else {
      handleEvent(event);
    }
  }
}

void HostRuntime::handleEvent(const SDL_Event& event) {
  if (busy_) return;
  if (event.type == SDL_QUIT) {
    requestEnd();
    return;
  }
  if (event.type == SDL_WINDOWEVENT && event.window.windowID == SDL_GetWindowID(window_)) {
    switch (event.window.event) {
      case SDL_WINDOWEVENT_CLOSE:
        requestEnd();
        return;
      case SDL_WINDOWEVENT_FOCUS_LOST:
      case SDL_WINDOWEVENT_MINIMIZED:
        if (displayKind_ == DisplayKind::FullScreen && !suspended_) pauseAction();
        break;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
      case SDL_WINDOWEVENT_RESTORED:
        if (displayKind_ == DisplayKind::FullScreen && suspended_) resumeAction();
        break;
      default:
        break;
    }
  }
  for (Driver* d : drivers_)
    if (d) d->onEvent(event);
}

void HostRuntime::requestEnd() {
  debugger_ = nullptr;
  endRequested_ = true;
  postWakeUp();
}

Debugger* HostRuntime::takeDebugger() { return debugger_.exchange(nullptr); }

void HostRuntime::reportOutcome(Outcome outcome, const char* message) {
  Debugger* d = takeDebugger();
  if (!d) return;
  endRequested_ = true;
  postWakeUp();
  if (!suspended_) {
    pauseRequestAction();
    pumpMessages();
  }
  if (outcome == Outcome::Failed)
    d->debugError(message);
  else
    d->debugInfo(message);
}

void HostRuntime::log(const char* text) {
  if (Debugger* d = debugger_) d->debugLog(text);
}
void HostRuntime::traceStmt(int a, int b) {
  if (Debugger* d = debugger_) d->debugStmt(a, b);
}
void HostRuntime::traceEnter(int a, int b, int c) {
  if (Debugger* d = debugger_) d->debugEnter(a, b, c);
}
void HostRuntime::traceLeave() {
  if (Debugger* d = debugger_) d->debugLeave();
}

void HostRuntime::pauseAction() {
  busy_ = true;
  if (displayKind_ == DisplayKind::FullScreen)
    for (Driver* d : drivers_)
      if (d) d->onPause();
  busy_ = false;
  suspended_ = true;
  if (Debugger* d = debugger_) d->debugStop();
}

void HostRuntime::resumeAction() {
  busy_ = true;
  if (displayKind_ == DisplayKind::FullScreen)
    for (Driver* d : drivers_)
      if (d) d->onResume();
  suspended_ = false;
  busy_ = false;
  if (Debugger* d = debugger_) d->debugRun();
}

// In full screen the window is minimised so the desktop (and any message box)
// comes forward; the pause itself is done here rather than left to a focus
// event, which a window manager may deliver late or never.
void HostRuntime::pauseRequestAction() {
  if (displayKind_ == DisplayKind::FullScreen) SDL_MinimizeWindow(window_);
  if (!suspended_) pauseAction();
}

void HostRuntime::resumeRequestAction() {
  if (displayKind_ == DisplayKind::FullScreen) {
    SDL_RestoreWindow(window_);
    SDL_RaiseWindow(window_);
  }
  if (suspended_) resumeAction();
}

void HostRuntime::postPauseRequest() { pushUserEvent(pauseEventType()); }
void HostRuntime::postResumeRequest() { pushUserEvent(resumeEventType()); }
void HostRuntime::postWakeUp() { pushUserEvent(wakeEventType()); }

void HostRuntime::stop() {
  if (!suspended_) pauseRequestAction();
  pumpMessages();
}

void HostRuntime::setTitle(const char* title, std::size_t length) {
  SDL_SetWindowTitle(window_, windows1252ToUtf8(title, length).c_str());
}

std::uint32_t HostRuntime::milliSecs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

void HostRuntime::delay(int millisecs) {
  std::uint32_t deadline = milliSecs() + static_cast<std::uint32_t>(millisecs);
  for (;;) {
    pumpMessages();
    // Once the window is closed the program ends at the check after the wait,
    // so the rest of a long delay would only keep a dead game around.
    if (endRequested_) break;
    auto remaining = static_cast<std::int32_t>(deadline - milliSecs());
    if (remaining < 1) break;
    int sleepMs = std::min<std::int32_t>(remaining, 100);
    timespec ts{sleepMs / 1000, (sleepMs % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
  }
}

void HostRuntime::execCommandLine(const char* commandLine) {
  pumpMessages();
  const char* argv[] = {"/bin/sh", "-c", commandLine, nullptr};
  // The program inherits no handles of the runtime: only standard input, output and error.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid;
  int failed = posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed) return;
  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  pumpMessages();
}

}  // namespace kr
