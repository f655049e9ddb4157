/* Hosts, waits for two joiners to be ready, then dies without a word. */
#include "net_util.h"

void __MAIN(void) {
  int ready = 0, p;
  logValue("host", _fhostnetgame(S("Kr Migrate")));
  p = _fcreatenetplayer(S("host"));
  while (ready < 2 && waitType(40, 20000) == 40) ++ready;
  logValue("ready", ready);
  _fdelay(200);
  _fsendnetmsg(50, S("dying"), p, 0, 1);
  _fdelay(100);
  _fexecfile(S("kill -9 $PPID"));
  logText("still alive");
}
