// Canvas speed beside its baselines: masked sprite blits against SDL's colour
// keyed SDL_BlitSurface, a whole-canvas copy against memcpy, Cls against
// memset, and the drawing primitives in operations per second.
#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/canvas.h"

using namespace kr;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kW = 640, kH = 480;

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::unique_ptr<Canvas> canvas(int w, int h) {
  return std::make_unique<Canvas>(nullptr, PixelStore::create(w, h, PixelFormat::forDepth(32)));
}

// Runs body(i) until a quarter second has passed; returns calls per second.
template <class F>
double rate(F body) {
  long n = 0;
  auto start = Clock::now();
  double t;
  do {
    for (int i = 0; i < 256; ++i) body(n + i);
    n += 256;
  } while ((t = seconds(start)) < 0.25);
  return n / t;
}

void report(const char* what, double ours, const char* baseline, double theirs, const char* unit) {
  std::printf("%-34s %14.0f %s   %-22s %14.0f %s   ratio %.2f\n", what, ours, unit, baseline, theirs, unit,
              ours / theirs);
}

// A 32 x 32 ball on a black (mask) background.
void drawSprite(Canvas& s) {
  s.setColour(0x00E04020);
  s.oval(0, 0, 32, 32, true);
  s.setColour(0x00FFFFFF);
  s.oval(8, 6, 10, 8, true);
}

void maskedSprites() {
  auto dst = canvas(kW, kH), sprite = canvas(32, 32);
  drawSprite(*sprite);
  SDL_Surface* sdlDst = SDL_CreateRGBSurfaceWithFormatFrom(dst->pixels(), kW, kH, 32, dst->pitch(), SDL_PIXELFORMAT_RGB888);
  SDL_Surface* sdlSprite =
      SDL_CreateRGBSurfaceWithFormatFrom(sprite->pixels(), 32, 32, 32, sprite->pitch(), SDL_PIXELFORMAT_RGB888);
  SDL_SetColorKey(sdlSprite, SDL_TRUE, 0);
  std::vector<SDL_Point> at;
  unsigned seed = 1;
  for (int i = 0; i < 4096; ++i) {
    seed = seed * 1103515245u + 12345u;
    at.push_back({static_cast<int>((seed >> 8) % (kW - 32)), static_cast<int>((seed >> 20) % (kH - 32))});
  }
  double ours = rate([&](long i) {
    const SDL_Point& p = at[i & 4095];
    dst->blit(p.x, p.y, *sprite, 0, 0, 32, 32, false);
  });
  double sdl = rate([&](long i) {
    const SDL_Point& p = at[i & 4095];
    SDL_Rect r{p.x, p.y, 32, 32};
    SDL_BlitSurface(sdlSprite, nullptr, sdlDst, &r);
  });
  report("masked 32x32 sprite blits", ours, "SDL_BlitSurface keyed", sdl, "/s");
  SDL_FreeSurface(sdlSprite);
  SDL_FreeSurface(sdlDst);
}

void wholeCanvas() {
  auto dst = canvas(kW, kH), src = canvas(kW, kH);
  src->setClearColour(0x00336699);
  src->clear();
  const std::size_t bytes = static_cast<std::size_t>(dst->pitch()) * kH;
  std::vector<std::uint8_t> a(bytes), b(bytes, 7);
  double blit = rate([&](long) { dst->blit(0, 0, *src, 0, 0, kW, kH, true); });
  double copy = rate([&](long i) {
    b[0] = static_cast<std::uint8_t>(i);
    std::memcpy(a.data(), b.data(), bytes);
    asm volatile("" : : "r"(a.data()) : "memory");
  });
  report("solid blit 640x480x32", blit, "memcpy", copy, "/s");
  dst->setClearColour(0x00102030);
  double cls = rate([&](long) { dst->clear(); });
  double fill = rate([&](long i) {
    std::memset(a.data(), static_cast<int>(i & 0xFF), bytes);
    asm volatile("" : : "r"(a.data()) : "memory");
  });
  report("Cls 640x480x32 (colour 102030)", cls, "memset", fill, "/s");
  dst->setClearColour(0);
  report("Cls 640x480x32 (black)", rate([&](long) { dst->clear(); }), "memset", fill, "/s");
}

void primitives() {
  auto c = canvas(kW, kH);
  c->setColour(0x00FFFFFF);
  auto point = [](long i, int range) { return static_cast<int>((i * 7919) % range); };
  std::printf("%-34s %14.0f /s\n", "Plot", rate([&](long i) { c->plot(point(i, kW), point(i * 3, kH)); }));
  std::printf("%-34s %14.0f /s\n", "Line (random, ~250 px)", rate([&](long i) {
                c->line(point(i, kW), point(i * 3, kH), point(i * 5, kW), point(i * 11, kH));
              }));
  std::printf("%-34s %14.0f /s\n", "Rect 64x48 outline",
              rate([&](long i) { c->rectangle(point(i, kW - 64), point(i * 3, kH - 48), 64, 48, false); }));
  std::printf("%-34s %14.0f /s\n", "Rect 64x48 solid",
              rate([&](long i) { c->rectangle(point(i, kW - 64), point(i * 3, kH - 48), 64, 48, true); }));
  std::printf("%-34s %14.0f /s\n", "Oval 64x48 outline",
              rate([&](long i) { c->oval(point(i, kW - 64), point(i * 3, kH - 48), 64, 48, false); }));
  std::printf("%-34s %14.0f /s\n", "Oval 64x48 solid",
              rate([&](long i) { c->oval(point(i, kW - 64), point(i * 3, kH - 48), 64, 48, true); }));
}

}  // namespace

int main() {
  maskedSprites();
  wholeCanvas();
  primitives();
  return 0;
}
