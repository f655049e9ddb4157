/* A well-behaved loop: it waits in Delay, where a close request ends it. */
#include "core_support.h"
void __MAIN(void) {
  logText("waiting");
  for (;;) _fdelay(10);
}
