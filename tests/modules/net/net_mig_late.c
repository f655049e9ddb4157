/* Joins after the first host has gone: the new host answers. */
#include "net_util.h"

void __MAIN(void) {
  int known = 0, t;
  logValue("join", joinRetrying("Kr Migrate", "127.0.0.1"));
  _fcreatenetplayer(S("late"));
  while (known < 2 && (t = waitMsg(5000)) != -9999)
    if (t == 100) ++known;
  logValue("known", known);
  _fdelay(1000);
}
