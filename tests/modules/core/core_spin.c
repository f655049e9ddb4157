/* A runaway program: it never calls a blocking command again. */
#include "core_support.h"
void __MAIN(void) {
  volatile int spins = 0;
  logText("spinning");
  for (;;) ++spins;
}
