#include "runtime/live_stats.h"

#include <cxxabi.h>
#include <signal.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "host/host_runtime.h"
#include "lang/language_support.h"
#include "runtime/handles.h"

namespace kr {

namespace {

std::atomic<bool> gAsked{false};
bool gInstalled = false;
struct sigaction gPrevious;

void onStatsSignal(int) { gAsked.store(true); }

// "N2kr5ImageE" -> "image": the record type's own name, in lower case.
std::string kindName(const char* mangled) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  std::size_t colon = name.rfind("::");
  if (colon != std::string::npos) name.erase(0, colon + 2);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

}  // namespace

void LiveStatsSignal::install() {
  if (gInstalled) return;
  struct sigaction sa {};
  sa.sa_handler = onStatsSignal;
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  gInstalled = sigaction(SIGUSR1, &sa, &gPrevious) == 0;
}

void LiveStatsSignal::restore() {
  if (!gInstalled) return;
  sigaction(SIGUSR1, &gPrevious, nullptr);
  gInstalled = false;
}

std::string liveStatsLine(const HostRuntime* host) {
  // Several registries may hold one kind (each audio driver its own sounds).
  std::map<std::string, std::size_t> kinds;
  for (CountedRegistry* r = CountedRegistry::first(); r; r = r->next()) kinds[kindName(r->kind())] += r->liveCount();
  kinds["timer"] = host ? host->timerCount() : 0;
  std::size_t handles = 0;
  for (const auto& kind : kinds) handles += kind.second;

  std::string line = "krstats: strings=" + std::to_string(liveStringCount()) +
                     " objects=" + std::to_string(activeObjectCount()) +
                     " unreleased=" + std::to_string(unreleasedObjectCount()) +
                     " blocks=" + std::to_string(languageBlockCount()) + " handles=" + std::to_string(handles);
  for (const auto& kind : kinds) line += " " + kind.first + "=" + std::to_string(kind.second);
  return line;
}

void reportLiveStatsIfAsked(const HostRuntime& host) {
  if (!gAsked.load(std::memory_order_relaxed) || !gAsked.exchange(false)) return;
  std::string line = liveStatsLine(&host) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kr
