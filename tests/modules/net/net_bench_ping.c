/* The runtime side of the benchmark's repeated ping-pong rounds: joins the
 * benchmark server, warms up with 1,000 guaranteed round trips, times 4,000
 * more and leaves. */
#include "net_util.h"

static void pingPong(int me, int server, int count) {
  int i;
  for (i = 0; i < count; ++i) {
    _fsendnetmsg(1, S("0123456789abcdef"), me, server, 1);
    spinFrom(1);
  }
}

void __MAIN(void) {
  int me, server, start;
  logValue("join", joinRetrying("Kr Bench", "127.0.0.1"));
  me = _fcreatenetplayer(S("pinger"));
  server = spinFrom(100);
  pingPong(me, server, 1000);
  start = _fmillisecs();
  pingPong(me, server, 4000);
  logValue("pingpong_4000_ms", _fmillisecs() - start);
  _fsendnetmsg(9, S("bye"), me, server, 1);
  _fstopnetgame();
}
