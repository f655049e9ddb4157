#include "core_support.h"
#pragma GCC diagnostic ignored "-Winfinite-recursion"
static int depth;
static void descend(int n) {
  ++depth;
  if (n == 0) {
    logText("ending at the bottom");
    _fend();
    logText("after End");
  }
  descend(n - 1);
  logText("unwound through a frame");
}
void __MAIN(void) {
  descend(50);
  logText("returned from descend");
}
