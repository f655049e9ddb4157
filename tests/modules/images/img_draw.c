/* Draws one image in every way into a 64 x 48 buffer and saves each result;
 * the test compares the files with a per-pixel model. */
#include "img_util.h"

static int img;

/* Frame pixels, as the test computes them. */
static int framePixel(int x, int y, int f) {
  if ((x * 37 + y * 11 + f * 5) % 4 == 0) return 0;
  return ((x + 1) * 30 << 16) | ((y + 1) * 40 << 8) | (f * 100 + 20);
}

static void fresh(void) {
  _fsetbuffer(_fbackbuffer());
  _fclscolor(10, 20, 30);
  _fcls();
}

static int scene = 0;
static void saveScene(void) {
  int at = gfxAppend(0, "scene");
  at = gfxAppendNumber(at, scene++);
  gfxAppend(at, ".bmp");
  _fsavebuffer(_fbackbuffer(), __krStrConst(gfxLine));
}

void __MAIN(void) {
  int f, x, y;
  _fgraphics(64, 48, 32, 2);
  img = _fcreateimage(7, 5, 2);
  for (f = 0; f < 2; ++f)
    for (y = 0; y < 5; ++y)
      for (x = 0; x < 7; ++x) _fwritepixel(x, y, framePixel(x, y, f), _fimagebuffer(img, f));

  fresh(); /* 0: plain, clipped at every edge */
  _fdrawimage(img, 3, 4, 0);
  _fdrawblock(img, 20, 4, 1);
  _fdrawimage(img, -3, -2, 1);
  _fdrawblock(img, 60, 45, 0);
  saveScene();

  fresh(); /* 1: handle, origin, viewport */
  _fhandleimage(img, 2, 1);
  _forigin(5, 7);
  _fdrawimage(img, 0, 0, 0);
  _fdrawblock(img, 10, 10, 1);
  _fviewport(8, 8, 20, 15);
  _fdrawimage(img, 12, 5, 1);
  _fdrawblock(img, 20, 14, 0);
  saveScene();

  fresh(); /* 2: rectangles of frames, partly outside them */
  _fdrawimagerect(img, 10, 10, 2, 1, 4, 3, 0);
  _fdrawblockrect(img, 30, 10, -1, -1, 5, 9, 1);
  _fdrawblockrect(img, 40, 30, 3, 3, -2, 2, 1);
  saveScene();

  fresh(); /* 3: tiles in a viewport with an origin */
  _fviewport(3, 4, 50, 30);
  _forigin(2, 3);
  _ftileimage(img, 0, 0, 0);
  saveScene();

  fresh(); /* 4 */
  _fviewport(3, 4, 50, 30);
  _forigin(2, 3);
  _ftileblock(img, -1, 5, 1);
  saveScene();

  fresh(); /* 5: offsets at the ends of the integers */
  _ftileblock(img, (int)0x80000000u, 2147483647, 0);
  saveScene();

  fresh(); /* 6: a new mask colour */
  _fwritepixel(1, 1, 0xFF00FF, _fimagebuffer(img, 0));
  _fmaskimage(img, 255, 0, 255);
  _fdrawimage(img, 30, 20, 0);
  saveScene();
}
