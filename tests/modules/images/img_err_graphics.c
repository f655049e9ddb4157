/* A call that must raise its runtime error; nothing after it runs. */
#include "img_util.h"
void __MAIN(void) {
  int i = _fcreateimage(4, 4, 1); _fgraphics(320, 200, 32, 2); _fdrawimage(i, 0, 0, 0);
  logText("reached");
}
