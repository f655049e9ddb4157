// Text speed beside its baselines, through the commands on a 640 x 480 window
// (headless): Text of 25 characters against SDL2_ttf rendering and blitting the
// same string, LoadFont against FreeType opening the face and rendering its 224
// glyphs, StringWidth against TTF_SizeText, and a scrolling Print against
// memmove of the moved rows plus filling the freed band.
#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench_support.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "graphics/text_commands.h"
#include "host/host_runtime.h"
#include "lang/kr_string.h"

using namespace kr;
using krbench::Clock;

namespace {

const char* const kMonoFile = "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf";
const char kText25[] = "The quick brown fox jumps";      // 25 characters
const char kText30[] = "Pack my box with five dozen l.";  // 30 characters

krbench::Targets targets;

// Runs body until `budget` seconds have passed; returns seconds per call.
template <class F>
double perCall(F body, double budget) {
  long n = 0;
  auto start = Clock::now();
  double t;
  do {
    for (int i = 0; i < 16; ++i) body();
    n += 16;
  } while ((t = krbench::secondsSince(start)) < budget);
  return t / n;
}

// The machine is shared: both sides run in alternating rounds and each keeps
// its best round.
template <class A, class B>
void bestOf(A ours, B theirs, double budget, double* oursBest, double* theirsBest) {
  *oursBest = *theirsBest = 1e30;
  for (int round = 0; round < 5; ++round) {
    *oursBest = std::min(*oursBest, perCall(ours, budget));
    *theirsBest = std::min(*theirsBest, perCall(theirs, budget));
  }
}

void report(const char* what, double ours, const char* baseline, double theirs, double target) {
  std::printf("%-32s %9.2f us   %-34s %9.2f us\n", what, ours * 1e6, baseline, theirs * 1e6);
  targets.atMost(what, ours / theirs, target);
}

void textBench(TTF_Font* ttf) {
  Canvas* front = graphicsState().device->front();
  SDL_Surface* target = SDL_CreateRGBSurfaceWithFormatFrom(front->pixels(), front->width(), front->height(), 32,
                                                           front->pitch(), SDL_PIXELFORMAT_RGB888);
  const SDL_Color white{255, 255, 255, 255};
  // A figure only counts if the text was drawn.
  front->clear();
  gfx::text(40, 200, krStringNew(kText25, 25), 0, 0);
  int ink = 0;
  for (int y = 200; y < 200 + gfx::fontHeight(); ++y)
    for (int x = 40; x < 40 + gfx::stringWidth(krStringNew(kText25, 25)); ++x) ink += front->readPixel(x, y) != 0;
  if (ink == 0) {
    std::printf("Text drew nothing\n");
    std::exit(1);
  }
  double ours, theirs;
  bestOf([] { gfx::text(40, 200, krStringNew(kText25, 25), 0, 0); },
         [&] {
           SDL_Surface* s = TTF_RenderText_Solid(ttf, kText25, white);
           SDL_Rect at{40, 200, 0, 0};
           SDL_BlitSurface(s, nullptr, target, &at);
           SDL_FreeSurface(s);
         },
         0.1, &ours, &theirs);
  SDL_FreeSurface(target);
  report("Text, 25 characters", ours, "TTF_RenderText_Solid + blit + free", theirs, 0.25);
}

// The characters of codes 32 to 255 in Windows-1252, as fonts hold them.
FT_ULong cp1252(FT_ULong code) {
  static const std::uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                         0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  return code >= 128 && code < 160 ? high[code - 128] : code == 127 ? 0 : code;
}

void loadFontBench(FT_Library library) {
  double ours, theirs;
  bestOf([] { gfx::freeFont(gfx::loadFont(krStringNew("courier", 7), 12, 0, 0, 0)); },
         [&] {
           FT_Face face;
           if (FT_New_Face(library, kMonoFile, 0, &face) != 0) std::abort();
           FT_Set_Char_Size(face, 0, 678, 72, 72);  // the cell of 12 pixels
           for (FT_ULong c = 32; c < 256; ++c) FT_Load_Char(face, cp1252(c), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO);
           FT_Done_Face(face);
         },
         0.2, &ours, &theirs);
  report("LoadFont(\"courier\", 12)", ours, "FT_New_Face + 224 mono glyphs", theirs, 1.0);
}

void stringWidthBench(TTF_Font* ttf) {
  volatile int sink = 0;
  double ours, theirs;
  bestOf([&] { sink = sink + gfx::stringWidth(krStringNew(kText30, 30)); },
         [&] {
           int w, h;
           TTF_SizeText(ttf, kText30, &w, &h);
           sink = sink + w;
         },
         0.1, &ours, &theirs);
  report("StringWidth, 30 characters", ours, "TTF_SizeText", theirs, 0.2);
}

void printBench() {
  GraphicsState& g = graphicsState();
  Canvas* front = g.device->front();
  const int h = front->height(), fh = gfx::fontHeight();
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(front->pitch()) * h);
  const std::size_t moved = static_cast<std::size_t>(front->pitch()) * (h - fh);
  volatile std::uint8_t sink = 0;
  double ours, theirs;
  bestOf(
      [&] {
        g.cursorY = h;  // every Print scrolls by one line
        gfx::consolePrint(krStringNew(kText25, 25));
      },
      [&] {
        std::memmove(rows.data(), rows.data() + static_cast<std::size_t>(front->pitch()) * fh, moved);
        std::memset(rows.data() + moved, 0, rows.size() - moved);
        sink = sink + rows[moved / 2];
      },
      0.1, &ours, &theirs);
  report("Print scrolling 640x480x32", ours, "memmove rows + fill band", theirs, 1.5);
}

}  // namespace

int main() {
  if (!std::getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
  HostRuntime* host = HostRuntime::create(nullptr, nullptr, 0);
  if (!host) return 1;
  setCurrentHost(host);
  if (!gfx::init()) return 1;
  gfx::graphics(640, 480, 32, 2);
  if (graphicsState().device->front()->depth() != 32) std::printf("note: the window is not 32-bit\n");
  FT_Library library;
  if (TTF_Init() != 0 || FT_Init_FreeType(&library) != 0) return 1;
  TTF_Font* ttf = TTF_OpenFont(kMonoFile, 10);
  if (!ttf) return 1;
  // Warm both sides once.
  gfx::text(0, 0, krStringNew("x", 1), 0, 0);
  textBench(ttf);
  stringWidthBench(ttf);
  loadFontBench(library);
  printBench();
  TTF_CloseFont(ttf);
  TTF_Quit();
  gfx::shutdown();
  HostRuntime::destroy(host);
  return targets.exitCode();
}
