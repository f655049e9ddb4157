/* Joins, waits until it knows the host's and the other joiner's players, and
 * reports what happens when the host goes: 101, maybe 102, then both joiners
 * keep talking. With a "kill" host the host dies without a word. */
#include "net_util.h"

void __MAIN(void) {
  int me, t, known = 0, leftAt = 0, hostAt = 0, got102 = 0, talk = 0, mark = 0, late = 0;
  logValue("join", joinRetrying("Kr Migrate", "127.0.0.1"));
  me = _fcreatenetplayer(S("joiner"));
  while (known < 2 && (t = waitMsg(15000)) != -9999)
    if (t == 100) ++known;
  logValue("known", known);
  _fsendnetmsg(40, S("ready"), me, 0, 1);
  /* The host's last word, then its player goes. */
  waitType(50, 20000);
  mark = _fmillisecs();
  /* The other joiner may notice first and talk before this one sees 101. */
  while ((t = waitMsg(15000)) != -9999) {
    if (t == 41) ++talk;
    if (t == 101) {
      leftAt = _fmillisecs();
      break;
    }
  }
  logValue("left_ms", leftAt ? leftAt - mark : -1);
  _fsendnetmsg(41, S("still here"), me, 0, 1);
  for (;;) {
    t = waitMsg(6000);
    if (t == -9999) break;
    if (t == 102) {
      ++got102;
      hostAt = _fmillisecs();
    }
    if (t == 41) ++talk;
    if (t == 100) ++late;
    if (late && talk && (got102 || hostAt == 0) && _fmillisecs() - leftAt > 1500) break;
  }
  logValue("got102", got102);
  logValue("host_ms", got102 ? hostAt - leftAt : -1);
  logValue("talk", talk);
  logValue("late_joined", late);
  /* Stay a little so the late joiner and the other joiner see everything. */
  _fdelay(500);
}
