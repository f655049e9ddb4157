/* A game that makes a timer per level and never frees one: 3000 live timers
 * at 60 Hz. Each gets a handle and ticks; freeing them all and making a new
 * one starts afresh. */
#include "core_support.h"

static int timers[3000];

void __MAIN(void) {
  int i, missing = 0, ticking = 0, fresh;
  for (i = 0; i < 3000; ++i) {
    timers[i] = _fcreatetimer(60);
    if (!timers[i]) ++missing;
  }
  logNumber("missing=", missing);
  /* The first and the last ones made both tick. */
  if (_fwaittimer(timers[0]) >= 1) ++ticking;
  if (_fwaittimer(timers[2999]) >= 1) ++ticking;
  logNumber("ticking=", ticking);
  for (i = 0; i < 3000; ++i) _ffreetimer(timers[i]);
  fresh = _fcreatetimer(50);
  logNumber("fresh first=", _fwaittimer(fresh));
  _ffreetimer(fresh);
}
