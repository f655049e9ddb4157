/* Joins, talks with the host until the network is cut, then joins the host's
 * new game once the network is back. */
#include "net_lost.h"

void __MAIN(void) {
  int me, host = 0, tries, joined = 0;
  logValue("join", joinRetrying("Kr Lost", "127.0.0.1"));
  talkUntilLost(_fcreatenetplayer(S("joiner")));
  for (tries = 0; tries < 15 && !joined; ++tries) joined = _fjoinnetgame(S("Kr Lost again"), S("127.0.0.1"));
  logValue("rejoin", joined);
  me = _fcreatenetplayer(S("joiner again"));
  if (waitType(100, 5000) == 100) host = _fnetmsgfrom();
  _fsendnetmsg(31, S("back"), me, host, 1);
  logValue("answer", waitType(32, 5000));
  _fstopnetgame();
}
