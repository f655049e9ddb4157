/* A call that must raise its runtime error; nothing after it runs. */
#include "img_util.h"
void __MAIN(void) {
  _fimagebuffer(_fcreateimage(16, 16, 2), -1);
  logText("reached");
}
