/* Hosts, talks with the joiner until the network is cut, then hosts a new
 * game, which the joiner finds once the network is back. */
#include "net_lost.h"

void __MAIN(void) {
  int me, t, peer = 0, done = 0, until;
  logValue("host", _fhostnetgame(S("Kr Lost")));
  talkUntilLost(_fcreatenetplayer(S("host")));
  logValue("rehost", _fhostnetgame(S("Kr Lost again")));
  me = _fcreatenetplayer(S("host again"));
  logValue("recreated", me != 0);
  until = _fmillisecs() + 30000;
  while (!done && _fmillisecs() - until < 0) {
    t = waitMsg(until - _fmillisecs());
    if (t == 100) peer = _fnetmsgfrom();
    if (t == 31 && peer) {
      logValue("back_sent", _fsendnetmsg(32, S("welcome back"), me, peer, 1));
      done = 1;
    }
  }
  logValue("back", done);
  waitType(101, 5000);
  _fstopnetgame();
}
