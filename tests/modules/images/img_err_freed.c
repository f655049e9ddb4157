/* A call that must raise its runtime error; nothing after it runs. */
#include "img_util.h"
void __MAIN(void) {
  int i = _fcreateimage(4, 4, 1); _ffreeimage(i); _fimagewidth(i);
  logText("reached");
}
