// Frames per second of the demo game's whole loop (input, movement, pixel
// collisions, drawing, text, sounds, music and Flip), run headless flat out: the
// game's own settings file turns the 60 Hz timer off and asks for one attract
// round. Goal: 2,000 frames a second, so that at 60 frames a second the game
// needs under 10% of one core.
//
// The machine is shared, so wall-clock rates say more about the neighbours
// than about the game. The figure is processor time: the game (with its audio
// threads and decoder process) is run for a short and a long round with the
// same seed, and the frames the long run adds are divided by the processor
// time they added, so start-up and shutdown fall out. A paced pair of runs
// then measures the share of a core directly, music rendering included.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/bench_support.h"

namespace {

const double kGoalFps = 2000;

std::map<std::string, std::string> readSummary(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

struct Run {
  long frames = 0;
  double cpuSeconds = 0;   // the game and everything it waited for
  double loopSeconds = 0;  // the game's loop by the wall clock, as it measured it
  double wallFps = 0;
};

// flatOut: no timer and no vsync; else paced by the game's 60 Hz timer.
bool runOnce(const std::string& dir, int seconds, int seed, bool flatOut, Run* run) {
  {
    std::ofstream cfg(dir + "/demo.cfg");
    cfg << "attract_rounds=1\nfps_bench=" << (flatOut ? 1 : 0) << "\nround_seconds=" << seconds << "\nseed=" << seed
        << "\nassets=" KR_BUILD_DIR "/korrin-demo-assets\nscores=" << dir << "/scores\n";
  }
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ALSOFT_DRIVERS", "null", 1);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
    execl(KR_BUILD_DIR "/korrin-demo", "korrin-demo", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  auto summary = readSummary(dir + "/demo-result.txt");
  long ms = std::atol(summary["loop_ms"].c_str());
  run->frames = std::atol(summary["frames"].c_str());
  run->cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                    (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run->loopSeconds = ms / 1000.0;
  run->wallFps = ms > 0 ? run->frames * 1000.0 / ms : 0;
  return run->frames > 0;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 25;
  char pattern[] = "/tmp/kr-bench-demo-XXXXXX";
  if (!mkdtemp(pattern)) return 2;
  std::string dir = pattern;

  std::vector<double> rates, wallRates;
  for (int round = 0; round < 3; ++round) {
    Run shortRun, longRun;
    if (!runOnce(dir, 1, 100 + round, true, &shortRun) || !runOnce(dir, seconds, 100 + round, true, &longRun)) {
      std::printf("the demo game did not run (build korrin-demo first)\n");
      return 2;
    }
    long frames = longRun.frames - shortRun.frames;
    double cpu = longRun.cpuSeconds - shortRun.cpuSeconds;
    if (frames < 300 || cpu <= 0) {
      std::printf("round %d: too few frames to measure (%ld)\n", round + 1, frames);
      return 2;
    }
    rates.push_back(frames / cpu);
    wallRates.push_back(longRun.wallFps);
    std::printf("  run %d: %ld frames in %.3f s of processor time: %.0f frames/s (%.0f by the wall clock)\n",
                round + 1, frames, cpu, rates.back(), longRun.wallFps);
  }

  // The same game paced at 60 Hz, as a person plays it: processor time over
  // the loop's wall time, short run subtracted.
  Run pacedShort, pacedLong;
  if (!runOnce(dir, 1, 7, false, &pacedShort) || !runOnce(dir, 6, 7, false, &pacedLong)) {
    std::printf("the demo game did not run paced\n");
    return 2;
  }
  double pacedShare = (pacedLong.cpuSeconds - pacedShort.cpuSeconds) /
                      std::max(0.001, pacedLong.loopSeconds - pacedShort.loopSeconds);
  std::system(("rm -rf '" + dir + "'").c_str());

  double fps = krbench::median(rates);
  double share = 60.0 / fps;
  std::printf("demo game loop, headless, no vsync, no timer (median of 3):\n");
  std::printf("  %.0f frames per processor second against the goal of %.0f (%.0f by the wall clock on this machine)\n",
              fps, kGoalFps, krbench::median(wallRates));
  std::printf("  at 60 frames/s the game needs %.1f%% of one core (goal: under 10%%)\n", 100 * share);
  std::printf("  measured paced by its 60 Hz timer: %.1f%% of one core\n", 100 * pacedShare);
  krbench::Targets targets;
  targets.atLeast("game loop frames/s / 2,000", fps / kGoalFps, 1.0);
  targets.atMost("share of a core at 60 fps / 10%", share / 0.10, 1.0);
  targets.atMost("share of a core, paced at 60 Hz / 10%", pacedShare / 0.10, 1.0);
  return targets.exitCode();
}
