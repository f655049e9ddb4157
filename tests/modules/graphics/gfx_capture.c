/* Shows a known picture in a fixed window, a scaled window and full screen at
 * depths 16 and 32, saving each front buffer and capturing the X screen with
 * xwd. Runs under Xvfb with the x11 video driver. */
#include "gfx_util.h"

static void picture(void) {
  _fsetbuffer(_fbackbuffer());
  _fclscolor(32, 64, 96);
  _fcls();
  _fcolor(255, 0, 0);
  _frect(4, 4, 20, 15, 1);
  _fcolor(0, 255, 0);
  _foval(30, 10, 24, 24, 1);
  _fcolor(0, 0, 255);
  _fline(0, 50, 79, 40);
  _fcolor(255, 255, 255);
  _fplot(2, 2);
  _frect(0, 0, 80, 60, 0);
  _fcolor(200, 100, 50);
  _frect(60, 40, 12, 12, 1);
}

static void show(const char* name, const char* capture) {
  int at;
  picture();
  _fflip(0);
  _fdelay(400);
  at = gfxAppend(0, name);
  gfxAppend(at, ".bmp");
  _fsavebuffer(_ffrontbuffer(), __krStrConst(gfxLine));
  _fexecfile(__krStrConst(capture));
}

void __MAIN(void) {
  _fgraphics(80, 60, 0, 2);
  show("fixed", "xwd -silent -name 'Korrin Runtime Window' -out fixed.xwd");
  /* Drawing into the front buffer shows without a Flip. */
  _fsetbuffer(_ffrontbuffer());
  _fclscolor(10, 200, 30);
  _fcls();
  _fcolor(255, 255, 0);
  _frect(20, 20, 10, 10, 1);
  _fdelay(400);
  _fsavebuffer(_ffrontbuffer(), __krStrConst("front.bmp"));
  _fexecfile(__krStrConst("xwd -silent -name 'Korrin Runtime Window' -out front.xwd"));
  /* Front buffer drawing followed by Flip shows at once, also when the back
   * buffer was never drawn. */
  _fgraphics(80, 60, 0, 2);
  _fclscolor(200, 10, 10);
  _fcls();
  _fflip(0);
  _fsavebuffer(_ffrontbuffer(), __krStrConst("front_flip.bmp"));
  _fexecfile(__krStrConst("xwd -silent -name 'Korrin Runtime Window' -out front_flip.xwd"));
  /* Front buffer drawing shown by the refresh timer, a Flip with nothing new,
   * then more front drawing: the timer shows that too. */
  _fclscolor(200, 200, 10);
  _fcls();
  _fdelay(400);
  _fflip(0);
  _fclscolor(10, 120, 200);
  _fcls();
  _fdelay(400);
  _fsavebuffer(_ffrontbuffer(), __krStrConst("front_timer.bmp"));
  _fexecfile(__krStrConst("xwd -silent -name 'Korrin Runtime Window' -out front_timer.xwd"));
  /* Twice the canvas size: the scaled window keeps the size it has. */
  _fgraphics(160, 120, 0, 2);
  _fgraphics(80, 60, 0, 3);
  show("scaled", "xwd -silent -name 'Korrin Runtime Window' -out scaled.xwd");
  _fgraphics(80, 60, 16, 1);
  show("full16", "xwd -silent -root -out full16.xwd");
  _fgraphics(80, 60, 32, 1);
  show("full32", "xwd -silent -root -out full32.xwd");
  _fendgraphics();
  logValue("done", 1);
}
