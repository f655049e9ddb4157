/* The honest joiner of the fuzzed game: 200 messages, then done. */
#include "net_util.h"

void __MAIN(void) {
  int me, i, sent = 0;
  logValue("join", joinRetrying("Kr Fuzz", "127.0.0.1"));
  me = _fcreatenetplayer(S("honest"));
  for (i = 0; i < 200; ++i) sent += _fsendnetmsg(1, __krStrFromInt(i), me, 0, 1);
  _fsendnetmsg(9, S("done"), me, 0, 1);
  logValue("sent", sent);
}
