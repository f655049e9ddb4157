/* Hosts; checks that a joiner's 40 players arrive in order, 20 deletions are
 * reported in order, 2000 guaranteed messages arrive in order, and a player
 * deleted after them leaves after them, even though the joiner stopped at once. */
#include "net_util.h"

static int ids[40];

static int nameIs(int id, int index) {
  return __krStrCompare(_fnetplayername(id), __krStrConcat(S("p"), __krStrFromInt(index))) == 0;
}

void __MAIN(void) {
  int t, joined = 0, namesOk = 1, deletedOk = 1, deleted = 0, messages = 0, inOrder = 1;
  int lateLeaveOk = 0, lastOk = 0, rest = 0;
  logValue("host", _fhostnetgame(S("Kr Players")));
  _fcreatenetplayer(S("host player"));
  while (joined < 40 && (t = waitMsg(15000)) != -9999) {
    if (t != 100) continue;
    ids[joined] = _fnetmsgfrom();
    if (!nameIs(ids[joined], joined) || (joined && ids[joined] <= ids[joined - 1])) namesOk = 0;
    ++joined;
  }
  while (deleted < 20 && (t = waitMsg(5000)) == 101) {
    if (_fnetmsgfrom() != ids[2 * deleted]) deletedOk = 0;
    ++deleted;
  }
  t = waitMsg(5000);
  for (;;) {
    if (t != 1) break;
    if (__krStrToInt(_fnetmsgdata()) != messages || _fnetmsgfrom() != ids[1]) inOrder = 0;
    ++messages;
    t = waitMsg(5000);
  }
  lateLeaveOk = t == 101 && _fnetmsgfrom() == ids[3];
  t = waitMsg(5000);
  lastOk = t == 2 && __krStrCompare(_fnetmsgdata(), S("last")) == 0;
  while (waitMsg(3000) == 101) ++rest;
  logValue("joined", joined);
  logValue("names_ok", namesOk);
  logValue("deleted", deleted);
  logValue("deleted_in_order", deletedOk);
  logValue("messages", messages);
  logValue("in_order", inOrder);
  logValue("late_leave_after_messages", lateLeaveOk);
  logValue("last_message", lastOk);
  logValue("rest_left", rest);
  _fstopnetgame();
}
