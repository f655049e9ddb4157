#include "gfx_util.h"
void __MAIN(void) {
  _fgraphics(-640, 480, 0, 1);
  logValue("survived", 1);
}
