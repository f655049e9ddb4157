// Frames per second of the demo game's whole loop (input, movement, pixel
// collisions, drawing, text, sounds and Flip), run headless flat out: the game's
// own settings file turns the 60 Hz timer off and asks for one attract round.
// Goal: 2,000 frames a second, so that at 60 frames a second the game needs
// under 10% of one core.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

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

// One flat-out run of `seconds` seconds of game time; frames per second, or 0.
double runOnce(const std::string& dir, int seconds, int seed, long* frames) {
  {
    std::ofstream cfg(dir + "/demo.cfg");
    cfg << "attract_rounds=1\nfps_bench=1\nround_seconds=" << seconds << "\nseed=" << seed
        << "\nassets=" KR_BUILD_DIR "/korrin-demo-assets\n";
  }
  std::string command = "cd '" + dir +
                        "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null "
                        "'" KR_BUILD_DIR "/korrin-demo' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return 0;
  auto summary = readSummary(dir + "/demo-result.txt");
  long ms = std::atol(summary["loop_ms"].c_str());
  *frames = std::atol(summary["frames"].c_str());
  return ms > 0 ? *frames * 1000.0 / ms : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
  char pattern[] = "/tmp/kr-bench-demo-XXXXXX";
  if (!mkdtemp(pattern)) return 2;
  std::string dir = pattern;

  std::vector<double> rates;
  long frames = 0;
  for (int round = 0; round < 3; ++round) {
    double fps = runOnce(dir, seconds, 100 + round, &frames);
    if (fps <= 0) {
      std::printf("the demo game did not run (build korrin-demo first)\n");
      return 2;
    }
    std::printf("  run %d: %ld frames, %.0f frames/s\n", round + 1, frames, fps);
    rates.push_back(fps);
  }
  std::system(("rm -rf '" + dir + "'").c_str());

  double fps = krbench::median(rates);
  double share = 60.0 / fps;
  std::printf("demo game loop, headless, no vsync, no timer (median of 3):\n");
  std::printf("  %.0f frames/s against the goal of %.0f; at 60 frames/s it needs %.1f%% of one core\n", fps, kGoalFps,
              100 * share);
  krbench::Targets targets;
  targets.atLeast("game loop frames/s / 2,000", fps / kGoalFps, 1.0);
  targets.atMost("share of a core at 60 fps / 10%", share / 0.10, 1.0);
  return targets.exitCode();
}
