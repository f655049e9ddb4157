/* Extreme coordinates, sizes and origins through every drawing command. */
#include "gfx_util.h"

static const int values[] = {-2147483647 - 1, -1000000000, -65536, -1, 0, 1, 150, 65536, 1000000000, 2147483647};

void __MAIN(void) {
  int i, j, n = sizeof values / sizeof values[0];
  _fgraphics(300, 200, 0, 2);
  _fsetbuffer(_fbackbuffer());
  _fcolor(255, 255, 255);
  _fclscolor(255, 255, 255);
  /* Viewports from any values: they clip to the canvas or become empty. */
  for (i = 0; i < n; ++i)
    for (j = 0; j < n; ++j) {
      _fviewport(values[i], values[j], values[j], values[i]);
      _fcls();
      _fviewport(values[i], values[j], values[i], values[j]);
      _fcls();
    }
  _fclscolor(0, 0, 0);
  _fviewport(0, 0, 300, 200);
  _fcls();
  _fviewport(100, 50, 100, 100);
  for (i = 0; i < n; ++i)
    for (j = 0; j < n; ++j) {
      int a = values[i], b = values[j];
      _forigin(a, b);
      _fplot(a, b);
      _fline(a, b, b, a);
      _frect(a, b, b, a, 0);
      _frect(a, b, a, b, 1);
      _foval(a, b, b, a, 0);
      _foval(a, b, a, b, 1);
      _fwritepixel(a, b, -1, 0);
      _freadpixel(a, b, 0);
      _fwritepixelfast(a, b, -1, 0);
      _freadpixelfast(a, b, 0);
      _fgetcolor(a, b);
      _fcolor(255, 255, 255);
      _funlockbuffer(0);
    }
  _fviewport(0, 0, 300, 200);
  save("hostile.bmp");
  logValue("survived", 1);
}
