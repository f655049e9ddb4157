/* Waits in Delay until the program is ended from outside. */
#include "core_support.h"
void __MAIN(void) {
  logText("waiting");
  for (;;) _fdelay(20);
}
