/* A call that must raise its runtime error; nothing after it runs. */
#include "img_util.h"
void __MAIN(void) {
  _fdrawblock(_fcreateimage(16, 16, 2), 0, 0, 2);
  logText("reached");
}
