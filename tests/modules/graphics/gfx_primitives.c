/* Draws each primitive into a full-screen back buffer at depths 16, 24 and 32
 * and saves the results; the test reads the files and checks the pixels. */
#include "gfx_util.h"

static const int ovalWidths[10] = {1, 2, 3, 4, 5, 7, 10, 11, 16, 27};
static const int ovalHeights[9] = {1, 2, 3, 6, 9, 10, 13, 20, 27};

static void blank(void) {
  _fsetbuffer(_fbackbuffer());
  _fclscolor(0, 0, 0);
  _fcls();
  _fcolor(255, 255, 255);
}

static void rects(int depth) {
  blank();
  _frect(0, 0, 10, 10, 0);
  _frect(20, 0, 10, 1, 0);
  _frect(40, 0, 1, 6, 0);
  _frect(50, 0, 7, 5, 1);
  _frect(60, 0, 0, 5, 1);
  _frect(70, 0, 5, -3, 1);
  _frect(-4, 20, 10, 10, 0);
  _frect(390, 290, 20, 20, 0);
  _frect(100, 100, 30, 20, 0);
  _fviewport(110, 105, 100, 100);
  _frect(100, 100, 30, 20, 1); /* fills only the part inside the viewport */
  saveAtDepth(depth, "rect");
}

static void lines(int depth) {
  blank();
  _fline(0, 0, 10, 0);
  _fline(5, 5, 5, 5);
  _fline(20, 2, 20, 12);
  _fline(30, 10, 40, 5);
  _fline(60, 20, 45, 25);
  _fline(100, 0, 90, 30);
  _fline(120, 40, 150, 10);
  _fline(200, 50, 170, 50);
  saveAtDepth(depth, "line");
}

static void plots(int depth) {
  blank();
  _forigin(1, 0);
  _fplot(-1, 0);
  _forigin(10, 20);
  _fplot(5, 5);
  _forigin(-5, -5);
  _fplot(2, 2);
  _forigin(0, 0);
  _fplot(399, 299);
  _fplot(400, 0);
  _fplot(0, -1);
  saveAtDepth(depth, "plot");
}

static void clears(int depth) {
  blank();
  _fclscolor(0, 0, 255);
  _forigin(7, 9);
  _fviewport(10, 10, 20, 20);
  _fcls();
  saveAtDepth(depth, "cls");
}

static void ovals(int depth, int solid) {
  int i, j;
  blank();
  for (j = 0; j < 9; ++j)
    for (i = 0; i < 10; ++i) {
      _forigin(i * 30, j * 30);
      _foval(1, 1, ovalWidths[i], ovalHeights[j], solid);
    }
  _forigin(0, 0);
  _foval(310, 10, 10, 0, 1);
  _foval(310, 30, 0, 10, 0);
  saveAtDepth(depth, solid ? "oval_solid" : "oval_outline");
}

static void colours(int depth) {
  blank();
  _fcolor(0, 0, 256);
  logAtDepth(depth, "spill_red", _fcolorred());
  logAtDepth(depth, "spill_green", _fcolorgreen());
  logAtDepth(depth, "spill_blue", _fcolorblue());
  _fcolor(255, 255, 255);
  logAtDepth(depth, "white_red", _fcolorred());
  logAtDepth(depth, "white_green", _fcolorgreen());
  _fwritepixel(3, 3, -1, 0);
  logAtDepth(depth, "white_read", _freadpixel(3, 3, 0));
  _fviewport(10, 10, 5, 5);
  _fgetcolor(0, 0);
  logAtDepth(depth, "outside_colour", _fcolorred() + _fcolorgreen() + _fcolorblue());
  logAtDepth(depth, "outside_read", _freadpixel(0, 0, 0));
}

void __MAIN(void) {
  static const int depths[3] = {16, 24, 32};
  int d;
  for (d = 0; d < 3; ++d) {
    _fgraphics(400, 300, depths[d], 1);
    logAtDepth(depths[d], "depth", _fgraphicsdepth());
    rects(depths[d]);
    lines(depths[d]);
    plots(depths[d]);
    clears(depths[d]);
    ovals(depths[d], 1);
    ovals(depths[d], 0);
    colours(depths[d]);
  }
}
