/* Mid and Instr count positions from 1. */
#include "lib_support.h"

void __MAIN(void) {
  sayInt(_finstr(S("abc"), S(""), 4));
  _fdebuglog(_fmid(S("abc"), 0, 1));
  say("after");
}
