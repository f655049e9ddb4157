#include "core_support.h"
void __MAIN(void) {
  logText("before stop");
  _fstop();
  logText("resumed");
  for (;;) _fdelay(20);
}
