/* A call that must raise its runtime error; nothing after it runs. */
#include "img_util.h"
void __MAIN(void) {
  _floadanimimage(S("strip.bmp"), 32, 32, 1, 3);
  logText("reached");
}
