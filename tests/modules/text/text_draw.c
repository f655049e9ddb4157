/* Draws text into full-screen back buffers of depth 16, 24 and 32 and saves
 * each scene; the test checks the ink pixel by pixel. */
#include "text_util.h"

static void blank(void) {
  _fsetbuffer(_fbackbuffer());
  _fclscolor(0, 0, 0);
  _fcls();
  _fcolor(255, 0, 0);
}

static void scenes(int depth) {
  int regular, bold, italic, underline, w, h, i;
  krString* ticker;
  _fgraphics(320, 240, depth, 1);
  logAtDepth(depth, "depth", _fgraphicsdepth());

  blank();
  _ftext(10, 10, S("Hello, World"), 0, 0);
  logAtDepth(depth, "plain_w", _fstringwidth(S("Hello, World")));
  logAtDepth(depth, "plain_h", _ffontheight());
  saveAtDepth(depth, "plain");

  blank();
  _fclscolor(255, 255, 255);
  _fcls();
  _fcolor(0, 0, 0);
  _ftext(10, 10, S("Hello"), 0, 0);
  saveAtDepth(depth, "black");

  blank();
  regular = _floadfont(S("courier"), 24, 0, 0, 0);
  bold = _floadfont(S("courier"), 24, 1, 0, 0);
  italic = _floadfont(S("courier"), 24, 0, 1, 0);
  underline = _floadfont(S("courier"), 24, 0, 0, 1);
  _fsetfont(regular);
  _ftext(10, 10, S("Hxg"), 0, 0);
  _fsetfont(bold);
  _ftext(10, 50, S("Hxg"), 0, 0);
  _fsetfont(italic);
  _ftext(10, 90, S("Hxg"), 0, 0);
  _fsetfont(underline);
  _ftext(10, 130, S("Hxg"), 0, 0);
  logAtDepth(depth, "styles_w", _fstringwidth(S("Hxg")));
  _fsetfont(regular);
  logAtDepth(depth, "styles_regular_w", _fstringwidth(S("Hxg")));
  saveAtDepth(depth, "styles");

  /* Clipped by the viewport through the origin; far away and huge positions
   * draw nothing. */
  blank();
  _fviewport(50, 50, 40, 20);
  _forigin(5, 5);
  _ftext(25, 40, S("WWWWWWWWWWWW"), 0, 0);
  _forigin(0, 0);
  _fviewport(0, 0, 320, 240);
  _ftext(2147483647, 100, S("far"), 0, 0);
  _ftext(-2147483647 - 1, 100, S("far"), 1, 1);
  _ftext(100, -2147483647 - 1, S("far"), 1, 1);
  _ftext(2147483600, 2147483600, S("far"), 1, 1);
  saveAtDepth(depth, "clip");

  /* Centred at (100, 30) in red; placed by hand at (100 - w / 2, 80 - h / 2) in green. */
  blank();
  _fsetfont(regular);
  w = _fstringwidth(S("centred"));
  h = _ffontheight();
  _ftext(100, 30, S("centred"), 1, 1);
  _fcolor(0, 255, 0);
  _ftext(100 - w / 2, 80 - h / 2, S("centred"), 0, 0);
  saveAtDepth(depth, "centre");

  /* A ticker line thousands of characters long, then ordinary text. */
  blank();
  ticker = S("");
  for (i = 0; i < 8; ++i) ticker = __krStrConcat(ticker, repeated('A', 1000));
  logAtDepth(depth, "ticker_w", _fstringwidth(ticker)); /* the command consumes its argument */
  ticker = S("");
  for (i = 0; i < 8; ++i) ticker = __krStrConcat(ticker, repeated('A', 1000));
  logAtDepth(depth, "A_w", _fstringwidth(S("A")));
  _ftext(-3000, 150, ticker, 0, 0);
  _ftext(10, 200, S("after"), 0, 0);
  saveAtDepth(depth, "ticker");
}

void __MAIN(void) {
  scenes(16);
  scenes(24);
  scenes(32);
}
