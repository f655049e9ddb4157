#include "gfx_util.h"
void __MAIN(void) {
  _fgraphics(100, 100, 0, 4);
  logValue("survived", 1);
}
