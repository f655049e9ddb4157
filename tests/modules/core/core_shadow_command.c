/* A module function named like a command takes every fixup of that name. */
#include "core_support.h"
int endCalls;
void _fend(void) {
  ++endCalls;
  logText("module's own End");
}
void __MAIN(void) {
  _fend();
  _fend();
  logNumber("calls=", endCalls);
}
