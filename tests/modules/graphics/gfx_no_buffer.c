#include "gfx_util.h"
void __MAIN(void) {
  _fsetbuffer(0x12345678);
  logValue("survived", 1);
}
