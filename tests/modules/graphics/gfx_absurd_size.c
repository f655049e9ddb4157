#include "gfx_util.h"
void __MAIN(void) {
  _fgraphics(2147483647, 100000, 32, 2);
  logValue("survived", 1);
}
