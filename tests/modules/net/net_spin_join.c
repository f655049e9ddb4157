/* Joins the spinning host, pings it 500 times waiting in tight loops, then
 * dies without a word. */
#include "net_util.h"

void __MAIN(void) {
  int me, host, i, answered = 0;
  logValue("join", joinRetrying("Kr Spin", "127.0.0.1"));
  me = _fcreatenetplayer(S("pinger"));
  if (spinType(100, 5000) != 100) return;
  host = _fnetmsgfrom();
  for (i = 0; i < 500; ++i) {
    _fsendnetmsg(1, __krStrFromInt(i), me, host, 1);
    if (spinType(1, 2000) == 1 && __krStrToInt(_fnetmsgdata()) == i) ++answered;
  }
  logValue("answered", answered);
  _fsendnetmsg(50, S("dying"), me, host, 1);
  _fdelay(100);
  _fexecfile(S("kill -9 $PPID"));
  logText("still alive");
}
