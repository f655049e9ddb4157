#include "core_support.h"
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int calls;
/* Not a tail call: every level keeps a frame. */
int recurse(volatile int n) {
  volatile char pad[64];
  pad[0] = (char)n;
  ++calls;
  return recurse(n + 1) + pad[0];
}
void __MAIN(void) {
  logText("before");
  recurse(0);
  logText("after");
}
