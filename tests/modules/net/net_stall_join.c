/* Joins, then computes for 12 s without calling anything, then reads what came. */
#include "net_util.h"

void __MAIN(void) {
  int me, start, t, count = 0, inOrder = 1, left = 0;
  volatile int spin = 0;
  logValue("join", joinRetrying("Kr Stall", "127.0.0.1"));
  me = _fcreatenetplayer(S("stalling"));
  waitType(100, 5000);
  _fsendnetmsg(40, S("ready"), me, 0, 1);
  start = _fmillisecs();
  while (_fmillisecs() - start < 12000)
    for (spin = 0; spin < 100000; ++spin) {
    }
  while ((t = waitMsg(3000)) != -9999 && count < 5000) {
    if (t == 101) left = 1;
    if (t != 1) continue;
    if (__krStrToInt(_fnetmsgdata()) != count) inOrder = 0;
    ++count;
  }
  logValue("received", count);
  logValue("in_order", inOrder);
  logValue("host_left", left);
  _fsendnetmsg(42, __krStrFromInt(count), me, 0, 1);
}
