/* A call that must raise its runtime error; nothing after it runs. */
#include "img_util.h"
void __MAIN(void) {
  _floadanimimage(S("strip.bmp"), 0, 32, 0, 1);
  logText("reached");
}
