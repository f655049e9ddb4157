/* A negative count is a runtime error that ends the program. */
#include "lib_support.h"

void __MAIN(void) {
  _fdebuglog(_fleft(S("abc"), 0));
  say("before");
  _fdebuglog(_fleft(S("abc"), -1));
  say("after");
}
