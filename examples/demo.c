/* The demo module: a few seconds of bouncing balls over a scrolling starfield,
 * drawn with the runtime's own primitives and paced by Flip. It ends by itself,
 * or when the window is closed. It grows into the demo game. */
#include <korrin.h>

#define WIDTH 640
#define HEIGHT 480
#define BALLS 12
#define STARS 120
#define FRAMES 300

static unsigned seed = 12345;
static int rnd(int n) {
  seed = seed * 1103515245u + 12345u;
  return (int)((seed >> 16) % (unsigned)n);
}

static int bx[BALLS], by[BALLS], vx[BALLS], vy[BALLS], size[BALLS], hue[BALLS];
static int sx[STARS], sy[STARS], speed[STARS];

static void setHue(int h) {
  /* A cheap colour wheel in integers: six ramps of 0..255. */
  int seg = (h / 256) % 6, t = h % 256;
  int r = 0, g = 0, b = 0;
  switch (seg) {
    case 0: r = 255; g = t; break;
    case 1: r = 255 - t; g = 255; break;
    case 2: g = 255; b = t; break;
    case 3: g = 255 - t; b = 255; break;
    case 4: r = t; b = 255; break;
    default: r = 255; b = 255 - t; break;
  }
  _fcolor(r, g, b);
}

static void setup(void) {
  int i;
  for (i = 0; i < BALLS; ++i) {
    size[i] = 16 + rnd(48);
    bx[i] = rnd(WIDTH - size[i]) * 16;
    by[i] = rnd(HEIGHT - size[i]) * 16;
    vx[i] = 16 + rnd(64);
    vy[i] = 16 + rnd(64);
    if (rnd(2)) vx[i] = -vx[i];
    hue[i] = rnd(1536);
  }
  for (i = 0; i < STARS; ++i) {
    sx[i] = rnd(WIDTH);
    sy[i] = rnd(HEIGHT);
    speed[i] = 1 + rnd(4);
  }
}

static void moveBall(int i) {
  bx[i] += vx[i];
  by[i] += vy[i];
  if (bx[i] < 0 || bx[i] > (WIDTH - size[i]) * 16) vx[i] = -vx[i], bx[i] += 2 * vx[i];
  if (by[i] < 0 || by[i] > (HEIGHT - size[i]) * 16) vy[i] = -vy[i], by[i] += 2 * vy[i];
  hue[i] = (hue[i] + 6) % 1536;
}

static void drawFrame(int frame) {
  int i;
  _fcls();
  _fcolor(255, 255, 255);
  for (i = 0; i < STARS; ++i) {
    sx[i] -= speed[i];
    if (sx[i] < 0) sx[i] += WIDTH;
    _fplot(sx[i], sy[i]);
  }
  /* A sweeping fan of lines from the bottom centre. */
  for (i = 0; i < 8; ++i) {
    int x = (frame * 4 + i * 80) % (2 * WIDTH);
    if (x >= WIDTH) x = 2 * WIDTH - x;
    setHue((frame * 8 + i * 192) % 1536);
    _fline(WIDTH / 2, HEIGHT, x, 0);
  }
  for (i = 0; i < BALLS; ++i) {
    moveBall(i);
    setHue(hue[i]);
    _foval(bx[i] / 16, by[i] / 16, size[i], size[i], 1);
    _fcolor(255, 255, 255);
    _foval(bx[i] / 16, by[i] / 16, size[i], size[i], 0);
  }
  _fcolor(40, 40, 90);
  _frect(0, 0, WIDTH, 24, 1);
  _fcolor(200, 200, 255);
  _frect(4, 4, (WIDTH - 8) * (frame + 1) / FRAMES, 16, 1);
  _frect(0, 0, WIDTH, HEIGHT, 0);
}

void __MAIN(void) {
  int frame;
  _fapptitle(__krStrConst("Korrin demo"));
  _fgraphics(WIDTH, HEIGHT, 0, 2);
  _fsetbuffer(_fbackbuffer());
  _fclscolor(8, 8, 24);
  setup();
  _fdebuglog(__krStrConst("demo: started"));
  for (frame = 0; frame < FRAMES; ++frame) {
    drawFrame(frame);
    _fflip(1);
  }
  _fdebuglog(__krStrConst("demo: finished"));
}
