/* Hosts and keeps sending to a joiner that stalls for 12 s: the joiner must not
 * be dropped, and every message must reach it. */
#include "net_util.h"

void __MAIN(void) {
  int me, t, sent = 0, dropped = 0, back = 0, start;
  logValue("host", _fhostnetgame(S("Kr Stall")));
  me = _fcreatenetplayer(S("host"));
  waitType(40, 15000);
  /* A burst larger than the network thread handles in one turn. */
  while (sent < 5000) sent += _fsendnetmsg(1, __krStrFromInt(sent), me, 0, 1);
  start = _fmillisecs();
  while (!back && _fmillisecs() - start < 25000) {
    t = waitMsg(100);
    if (t == 101) dropped = 1;
    if (t == 42) back = __krStrToInt(_fnetmsgdata());
  }
  logValue("sent", sent);
  logValue("dropped", dropped);
  logValue("back", back);
}
