/* Where the window lands on a 1024 x 768 screen with no window manager, and
 * the title it shows for Windows-1252 text. Each step dumps the window tree. */
#include "gfx_util.h"

static void dump(const char* file) {
  int at = gfxAppend(0, "xwininfo -root -tree > ");
  gfxAppend(at, file);
  _fdelay(300);
  _fexecfile(__krStrConst(gfxLine));
}

void __MAIN(void) {
  _fgraphics(640, 480, 0, 2);
  dump("first.txt");
  _fgraphics(1000, 700, 0, 2);
  dump("larger.txt");
  _fgraphics(320, 200, 0, 3);
  dump("scaled.txt");
  _fapptitle(__krStrConst("Caf\xe9 Menu \x80"));
  dump("title.txt");
}
