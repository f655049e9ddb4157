// Start-up time headless: from process start to the module's entry, measured
// end to end through krrun and broken down step by step in-process.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <SDL2/SDL.h>

#include "bench/bench_support.h"
#include "host/host_runtime.h"
#include "runtime/command_table.h"
#include "runtime/linker.h"
#include "runtime/module_source.h"
#include "runtime/runtime_api.h"

namespace {

const std::string kModule = std::string(KR_BUILD_DIR) + "/modules/core_startup_clock.krm";

double monotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Runs krrun once; returns milliseconds from fork to the module's entry.
double oneRun() {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  double start = monotonicMs();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 2);
    close(fds[0]);
    std::string krrun = std::string(KR_BUILD_DIR) + "/krrun";
    execl(krrun.c_str(), krrun.c_str(), "--debug", kModule.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string err;
  char buffer[512];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) err.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  auto at = err.find("entry=");
  if (at == std::string::npos) return -1;
  // MilliSecs is the same monotonic clock in milliseconds, wrapped to 32 bits.
  auto entry = static_cast<std::uint32_t>(std::stoll(err.substr(at + 6)));
  auto started = static_cast<std::uint32_t>(static_cast<std::uint64_t>(start));
  return static_cast<double>(entry - started) - (start - static_cast<double>(static_cast<std::uint64_t>(start)));
}

template <class F>
double timed(F f) {
  double t = monotonicMs();
  f();
  return monotonicMs() - t;
}

void breakdown() {
  std::vector<std::uint8_t> image;
  std::map<std::string, std::uint32_t> table;
  kr::LinkResult linked;
  kr::HostRuntime* host = nullptr;
  std::printf("in-process breakdown (first run in this process):\n");
  std::printf("  read module file      %7.2f ms\n", timed([&] { kr::readWholeFile(kModule, image); }));
  std::printf("  build runtime table   %7.2f ms\n", timed([&] { table = kr::buildRuntimeTable(*runtimeGetRuntime()); }));
  std::printf("  link module           %7.2f ms\n",
              timed([&] { linked = kr::linkModule(image.data(), image.size(), table); }));
  std::printf("  SDL video + window    %7.2f ms\n", timed([&] { host = kr::HostRuntime::create(nullptr, nullptr, 0); }));
  kr::setCurrentHost(host);
  std::size_t count;
  const kr::CommandGroup* const* groups = kr::commandGroups(&count);
  for (std::size_t i = 0; i < count; ++i)
    std::printf("  init %-18s%7.2f ms\n", groups[i]->title, timed([&] {
                  if (groups[i]->init) groups[i]->init();
                }));
  for (std::size_t i = count; i-- > 0;)
    if (groups[i]->shutdown) groups[i]->shutdown();
  kr::HostRuntime::destroy(host);
  kr::releaseLinkedModule(linked);
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  std::vector<double> runs;
  for (int i = 0; i < 21; ++i) runs.push_back(oneRun());
  std::sort(runs.begin(), runs.end());
  double median = runs[runs.size() / 2];
  std::printf("krrun start-up, process start to module entry, headless (21 runs)\n");
  std::printf("  median %.1f ms, best %.1f ms, worst %.1f ms\n", median, runs.front(), runs.back());
  breakdown();
  krbench::Targets targets;
  targets.atMost("median start-up / 50 ms", median / 50.0, 1.0);
  return targets.exitCode();
}
