/* Hosts and waits on the queue in tight loops only (no Delay): echoes the
 * joiner's pings, then notices the joiner die while still spinning. */
#include "net_util.h"

static int spinType(int type, int ms) {
  int until = _fmillisecs() + ms;
  while (_fmillisecs() - until < 0)
    if (_frecvnetmsg() && _fnetmsgtype() == type) return type;
  return -9999;
}

void __MAIN(void) {
  int me, t, mark = 0, echoes = 0, lost = 0, left = 0, until;
  logValue("host", _fhostnetgame(S("Kr Spin")));
  me = _fcreatenetplayer(S("spinner"));
  logValue("joined", spinType(100, 10000));
  until = _fmillisecs() + 20000;
  while (!mark && _fmillisecs() - until < 0) {
    if (!_frecvnetmsg()) continue;
    t = _fnetmsgtype();
    if (t == 1) {
      _fsendnetmsg(1, _fnetmsgdata(), me, _fnetmsgfrom(), 1);
      ++echoes;
    } else if (t == 50) {
      mark = _fmillisecs();
    }
  }
  logValue("echoes", echoes);
  until = _fmillisecs() + 15000;
  while (!left && _fmillisecs() - until < 0) {
    if (!_frecvnetmsg()) continue;
    t = _fnetmsgtype();
    if (t == 101) left = _fmillisecs();
    if (t == 200) lost = 1;
  }
  logValue("left_ms", left && mark ? left - mark : -1);
  logValue("lost", lost);
}
