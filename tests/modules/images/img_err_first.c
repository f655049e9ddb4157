/* A call that must raise its runtime error; nothing after it runs. */
#include "img_util.h"
void __MAIN(void) {
  _floadanimimage(S("missing.bmp"), 4, 4, -1, 1);
  logText("reached");
}
