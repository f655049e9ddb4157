/* Starts a game through the dialog; the creator waits for someone to join
 * through a second dialog, and the two exchange a message. */
#include "net_util.h"

void __MAIN(void) {
  int r = _fstartnetgame(), p;
  logValue("dialog", r);
  if (r == 2) {
    p = _fcreatenetplayer(S("maker"));
    if (waitType(100, 30000) == 100) logString("other", _fnetplayername(_fnetmsgfrom()));
    _fsendnetmsg(60, S("hello"), p, 0, 1);
    logValue("reply", waitType(61, 5000));
  } else if (r == 1) {
    p = _fcreatenetplayer(S("finder"));
    if (waitType(100, 5000) == 100) logString("other", _fnetplayername(_fnetmsgfrom()));
    logValue("hello", waitType(60, 5000));
    _fsendnetmsg(61, S("hi"), p, 0, 1);
    _fdelay(300);
  }
}
