/* A call that must raise its runtime error; nothing after it runs. */
#include "img_util.h"
void __MAIN(void) {
  _fdrawimage(_fcreateimage(16, 16, 0), 0, 0, 0);
  logText("reached");
}
