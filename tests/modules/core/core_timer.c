/* Counts the ticks of a 50 Hz timer over one second of WaitTimer calls. */
#include "core_support.h"
void __MAIN(void) {
  int timer = _fcreatetimer(50);
  int start, ticks = 0, waits = 0, first;
  first = _fwaittimer(timer);
  start = _fmillisecs();
  while (_fmillisecs() - start < 1000) {
    ticks += _fwaittimer(timer);
    ++waits;
  }
  logNumber("first=", first);
  logNumber("ticks=", ticks);
  /* Falling behind: the ticks of a long pause arrive together. */
  _fdelay(55);
  logNumber("after55=", _fwaittimer(timer));
  _ffreetimer(timer);
  _ffreetimer(timer);
  logText("freed twice");
}
