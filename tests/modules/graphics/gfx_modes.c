/* Drivers, modes, depths, video memory and the timing of VWait and Flip. */
#include "gfx_util.h"

static void logModes(void) {
  int i, n = _fcountgfxmodes();
  logValue("modes", n);
  for (i = 1; i <= n; ++i) {
    int at = gfxAppend(0, "mode ");
    at = gfxAppendNumber(at, _fgfxmodewidth(i));
    at = gfxAppend(at, "x");
    at = gfxAppendNumber(at, _fgfxmodeheight(i));
    at = gfxAppend(at, "x");
    gfxAppendNumber(at, _fgfxmodedepth(i));
    _fdebuglog(__krStrConst(gfxLine));
  }
}

static void logSize(const char* label) {
  int at = gfxAppend(0, label);
  at = gfxAppend(at, " ");
  at = gfxAppendNumber(at, _fgraphicswidth());
  at = gfxAppend(at, "x");
  at = gfxAppendNumber(at, _fgraphicsheight());
  at = gfxAppend(at, "x");
  gfxAppendNumber(at, _fgraphicsdepth());
  _fdebuglog(__krStrConst(gfxLine));
}

void __MAIN(void) {
  int i, start, low = 1000000, high = -1;
  logValue("drivers", _fcountgfxdrivers());
  _fdebuglog(_fgfxdrivername(1));
  logModes();
  logValue("find_640_480_32", _ffindgfxmode(640, 480, 32));
  logValue("find_640_480_0", _ffindgfxmode(640, 480, 0));
  logValue("exists_640_480_0", _fgfxmodeexists(640, 480, 0));
  logValue("exists_800_600_16", _fgfxmodeexists(800, 600, 16));
  logValue("exists_1280_720_32", _fgfxmodeexists(1280, 720, 32));
  logSize("startup");
  logValue("total_vid_mem", _ftotalvidmem());
  _fgraphics(320, 200, 16, 2);
  logSize("window");
  logValue("vid_mem_used", _ftotalvidmem() - _favailvidmem());
  _fgraphics(320, 200, 0, 1);
  logSize("full_screen_depth_0");
  _fgraphics(320, 200, 24, 1);
  logSize("full_screen_depth_24");
  _fgraphics(320, 200, 0, 3);
  logSize("scaled");

  for (i = 0; i < 200; ++i) {
    int line = _fscanline();
    if (line < low) low = line;
    if (line > high) high = line;
  }
  logValue("scanline_in_range", low >= 0 && high < 768);

  start = _fmillisecs();
  _fvwait(10);
  logValue("vwait_10_ms", _fmillisecs() - start);
  start = _fmillisecs();
  for (i = 0; i < 10; ++i) _fvwait(1);
  logValue("ten_vwaits_ms", _fmillisecs() - start);
  _fsetbuffer(_fbackbuffer());
  start = _fmillisecs();
  for (i = 0; i < 30; ++i) {
    _fplot(i, i);
    _fflip(1);
  }
  logValue("thirty_synced_flips_ms", _fmillisecs() - start);
  start = _fmillisecs();
  for (i = 0; i < 30; ++i) {
    _fplot(i, i);
    _fflip(0);
  }
  logValue("thirty_free_flips_ms", _fmillisecs() - start);
}
