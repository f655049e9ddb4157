/* The module used to check every way of delivering a module. */
#include "core_support.h"
int counter = 40;
void __MAIN(void) {
  counter += 2;
  logNumber("hello ", counter);
}
