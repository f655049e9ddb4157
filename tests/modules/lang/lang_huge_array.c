/* Dimensioning an array larger than memory. */
#include "lang_module_util.h"

struct {
  ArrayDesc d;
  int size[2];
} huge = {{0, KR_TYPE_INT, 2}, {100000, 100000}};

void __MAIN(void) {
  say("before");
  __krDimArray(&huge.d);
  say("after");
}
