/* A computation with statement hooks and no blocking command. */
#include "core_support.h"
volatile int work;
void __MAIN(void) {
  int line = 0;
  logText("waiting");
  __krDebugEnter(1, 2, 3);
  for (;;) {
    __krDebugStmt(++line, 7);
    ++work;
  }
}
