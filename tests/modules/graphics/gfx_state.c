/* The graphics state across Graphics, EndGraphics and SetBuffer, and the
 * shared pixels of a window's front and back buffer. */
#include "gfx_util.h"

void __MAIN(void) {
  _fcolor(1, 2, 3);
  _fendgraphics(); /* before any Graphics: nothing changes */
  logValue("after_early_endgraphics_blue", _fcolorblue());
  logValue("after_early_endgraphics_width", _fgraphicswidth());

  _fgraphics(64, 48, 0, 2);
  logValue("colour_reset", _fcolorred() == 255 && _fcolorgreen() == 255 && _fcolorblue() == 255);
  logValue("current_is_front", _fgraphicsbuffer() == _ffrontbuffer());
  logValue("front_differs_from_back", _ffrontbuffer() != _fbackbuffer());
  _fwritepixel(5, 6, 0x00123456, _ffrontbuffer());
  logValue("shared_pixel", _freadpixel(5, 6, _fbackbuffer()));

  _forigin(10, 10);
  _fviewport(20, 20, 5, 5);
  _fsetbuffer(_ffrontbuffer()); /* resets origin and viewport */
  _fplot(0, 0);
  logValue("plot_after_setbuffer", _freadpixel(0, 0, 0));

  _flockbuffer(0);
  _flockbuffer(0);
  _funlockbuffer(0);
  _funlockbuffer(0);
  _funlockbuffer(0); /* one too many: harmless */
  _fwritepixelfast(1, 1, 0x00FF0000, 0);
  logValue("fast_pixel", _freadpixelfast(1, 1, 0));

  _fsetgfxdriver(1);
  _fendgraphics();
  logValue("endgraphics_width", _fgraphicswidth());
  logValue("endgraphics_height", _fgraphicsheight());
  _fendgraphics(); /* back at the start-up window already: changes nothing */
  logValue("endgraphics_again_width", _fgraphicswidth());

  _fgraphics(1, 1, 0, 2);
  logValue("save_one_pixel", _fsavebuffer(0, __krStrConst("one.bmp")));
  logValue("save_nowhere", _fsavebuffer(0, __krStrConst("no/such/dir/x.bmp")));
}
