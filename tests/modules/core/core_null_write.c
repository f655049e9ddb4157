#include "core_support.h"
int* volatile target = 0;
void __MAIN(void) {
  logText("before");
  *target = 42;
  logText("after");
}
