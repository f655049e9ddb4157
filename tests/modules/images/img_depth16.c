/* A 16-bit full-screen display: pictures load through the canvas's conversion. */
#include "img_util.h"

void __MAIN(void) {
  int img;
  _fgraphics(320, 200, 16, 1);
  logValue("depth", _fgraphicsdepth());
  img = _floadimage(S("gfx\\player.bmp"));
  logPixel("player_0_0", img, 0, 0, 0);
  logPixel("player_4_2", img, 0, 4, 2);
  img = _floadimage(S("photo.jpg"));
  logPixel("photo_31_15", img, 0, 31, 15);
  img = _floadanimimage(S("grid.bmp"), 32, 32, 4, 1);
  logPixel("grid_f0", img, 0, 0, 0);
  _fscaleimage(img, 2.0f, 2.0f);
  logValue("scaled", _fimagewidth(img));
  logPixel("scaled_0_0", img, 0, 0, 0);
}
