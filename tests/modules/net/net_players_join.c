/* Creates 40 players, deletes every other one, sends 2000 guaranteed messages,
 * deletes one more, sends a last message and stops at once. */
#include "net_util.h"

static int ids[40];

void __MAIN(void) {
  int i, sent = 0;
  logValue("join", joinRetrying("Kr Players", "127.0.0.1"));
  for (i = 0; i < 40; ++i) ids[i] = _fcreatenetplayer(__krStrConcat(S("p"), __krStrFromInt(i)));
  for (i = 0; i < 40; i += 2) _fdeletenetplayer(ids[i]);
  logValue("deleted_is_unknown", __krStrCompare(_fnetplayername(ids[0]), S("<unknown>")) == 0);
  for (i = 0; i < 2000; ++i) sent += _fsendnetmsg(1, __krStrFromInt(i), ids[1], 0, 1);
  logValue("sent", sent);
  _fdeletenetplayer(ids[3]);
  logValue("send_from_deleted", _fsendnetmsg(1, S("x"), ids[3], 0, 1));
  _fsendnetmsg(2, S("last"), ids[1], 0, 1);
  _fstopnetgame();
  logValue("stopped", 1);
}
