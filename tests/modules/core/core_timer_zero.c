#include "core_support.h"
void __MAIN(void) {
  _fcreatetimer(0);
  logText("after");
}
