// Milliseconds per Flip of a window at 640 x 480 and 1920 x 1080: the canvas
// converted into the texture and presented (headless unless a display is set).
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <SDL2/SDL.h>

#include "graphics/graphics_device.h"
#include "host/host_runtime.h"

using namespace kr;
using Clock = std::chrono::steady_clock;

static void flipRate(HostRuntime& host, int w, int h) {
  GraphicsDevice* device = GraphicsDevice::open(host, w, h, 0, DisplayKind::FixedWindow);
  if (!device) {
    std::printf("%dx%d: display could not be opened\n", w, h);
    return;
  }
  Canvas* back = device->back();
  back->setColour(0x00FFFFFF);
  int frames = 0;
  auto start = Clock::now();
  double t;
  do {
    back->plot(frames % w, frames % h);  // a change, so every flip presents
    device->flip(false);
    ++frames;
  } while ((t = std::chrono::duration<double>(Clock::now() - start).count()) < 1.0);
  std::printf("Flip %4dx%-4d  %8.3f ms per flip  (%d flips, driver %s)\n", w, h, 1000.0 * t / frames, frames,
              SDL_GetCurrentVideoDriver());
  delete device;
}

int main() {
  if (!std::getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
  HostRuntime* host = HostRuntime::create(nullptr, nullptr, 0);
  if (!host) return 1;
  setCurrentHost(host);
  flipRate(*host, 640, 480);
  flipRate(*host, 1920, 1080);
  HostRuntime::destroy(host);
  return 0;
}
