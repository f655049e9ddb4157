/* A repeat count whose result no 32-bit process could hold. */
#include "lib_support.h"

void __MAIN(void) {
  sayInt(_flen(_fstring(S("abc"), 1000)));
  _fdebuglog(_fstring(S("abc"), 1000000000));
  say("after");
}
