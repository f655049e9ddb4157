/* The runtime side of the benchmark's repeated ping-pong rounds: joins the
 * benchmark server, times 2,000 guaranteed round trips and leaves. */
#include "net_util.h"

static int waitFor(int type) {
  for (;;)
    if (_frecvnetmsg() && _fnetmsgtype() == type) return _fnetmsgfrom();
}

void __MAIN(void) {
  int me, server, i, start;
  logValue("join", joinRetrying("Kr Bench", "127.0.0.1"));
  me = _fcreatenetplayer(S("pinger"));
  server = waitFor(100);
  start = _fmillisecs();
  for (i = 0; i < 2000; ++i) {
    _fsendnetmsg(1, S("0123456789abcdef"), me, server, 1);
    waitFor(1);
  }
  logValue("pingpong_2000_ms", _fmillisecs() - start);
  _fsendnetmsg(9, S("bye"), me, server, 1);
  _fstopnetgame();
}
