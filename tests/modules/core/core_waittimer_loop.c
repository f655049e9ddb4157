#include "core_support.h"
void __MAIN(void) {
  int timer = _fcreatetimer(100);
  logText("waiting");
  for (;;) _fwaittimer(timer);
}
