#include "gfx_util.h"
void __MAIN(void) {
  logValue("width", _fgraphicswidth());
  logValue("depth", _fgraphicsdepth());
  _fcolor(255, 0, 0);
  _frect(10, 10, 20, 20, 1);
  _foval(50, 50, 30, 20, 0);
  _fline(0, 0, 100, 50);
  save("smoke.bmp");
  _fflip(1);
  logValue("pixel", _freadpixel(15, 15, 0));
}
