/* Both sides of the cut-off test: talk until the network goes, then check what
 * a lost session allows, and leave it. */
#ifndef NET_LOST_H
#define NET_LOST_H
#include "net_util.h"

static void talkUntilLost(int me) {
  int other = 0, t, lostAt = 0, heardAt = 0, nextTick = 0, before = 0, start = _fmillisecs(), after = 0, until;
  while (!lostAt && _fmillisecs() - start < 30000) {
    if (other && _fmillisecs() - nextTick >= 0) {
      _fsendnetmsg(30, S("tick"), me, other, 1);
      nextTick = _fmillisecs() + 100;
    }
    if (!_frecvnetmsg()) {
      _fdelay(1);
      continue;
    }
    t = _fnetmsgtype();
    if (t == 100 && !other) other = _fnetmsgfrom();
    else if (t == 30) heardAt = _fmillisecs();
    else if (t == 200) lostAt = _fmillisecs();
    else ++before; /* 101 or 102: the others were taken for dead */
  }
  logValue("lost", lostAt ? 1 : 0);
  logValue("heard", heardAt ? 1 : 0);
  logValue("lost_after_ms", lostAt && heardAt ? lostAt - heardAt : -1);
  logValue("notices_before_lost", before);
  logValue("send_after", _fsendnetmsg(30, S("tick"), me, other, 1));
  logValue("send_all_after", _fsendnetmsg(30, S("tick"), me, 0, 0));
  logValue("create_after", _fcreatenetplayer(S("late")));
  until = _fmillisecs() + 1500;
  while (_fmillisecs() - until < 0) {
    after += _frecvnetmsg();
    _fdelay(5);
  }
  logValue("recv_after", after);
  _fstopnetgame();
}

#endif
