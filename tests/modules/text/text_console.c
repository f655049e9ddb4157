/* The console on a 400 x 300 window with a 13-pixel font: 24 lines scroll the
 * front buffer by exactly the overflow, Write and Print share a line, Locate
 * clamps, and Print leaves the back buffer's drawing state alone. */
#include "text_util.h"

static krString* numbered(int n) {
  /* Line n is n characters long, so the test can tell the lines apart. */
  return repeated('M', n);
}

void __MAIN(void) {
  int f, i;
  _fgraphics(400, 300, 0, 2);
  f = _floadfont(S("courier"), 13, 0, 0, 0);
  _fsetfont(f);
  logValue("font_height", _ffontheight());
  logValue("m_width", _fstringwidth(S("M")));
  _fclscolor(0, 0, 96);
  _fcolor(255, 255, 0);
  for (i = 1; i <= 24; ++i) _fprint(numbered(i));
  _fsavebuffer(_ffrontbuffer(), S("scrolled.bmp"));

  /* Write then Print on one line, at the top after a Cls. */
  _fclscolor(0, 0, 0);
  _fcls();
  _flocate(0, 0);
  _fwrite(S("ab"));
  _fprint(S("cd"));
  _fprint(S("ef"));
  _fsavebuffer(_ffrontbuffer(), S("write_print.bmp"));

  /* Locate clamps; the next Print scrolls first. */
  _fcls();
  _flocate(-5, 10000);
  _fprint(S("bottom"));
  _fsavebuffer(_ffrontbuffer(), S("locate.bmp"));

  /* With the back buffer current, Print still writes to the front buffer and
   * the back buffer keeps its origin, viewport and colour. */
  _fsetbuffer(_fbackbuffer());
  _fcolor(10, 20, 30);
  _forigin(7, 8);
  _fviewport(1, 1, 5, 5);
  _fcls();
  _fprint(S("front"));
  logValue("back_red", _fcolorred());
  _fwritepixel(0, 0, 0x123456, 0);   /* (7, 8): outside the viewport, not written */
  _fwritepixel(-5, -6, 0x654321, 0); /* (2, 2): inside */
  logValue("back_outside", _freadpixel(0, 0, 0));
  logValue("back_inside", _freadpixel(-5, -6, 0));
  logValue("survived", 1);
}
