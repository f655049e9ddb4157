/* Compiled code found an object that does not exist. */
#include "lang_module_util.h"

void __MAIN(void) {
  say("before");
  __krNullObjEx();
  say("after");
}
