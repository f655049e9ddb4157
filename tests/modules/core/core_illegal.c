#include "core_support.h"
void __MAIN(void) {
  logText("before");
  __asm__ volatile("ud2");
  logText("after");
}
