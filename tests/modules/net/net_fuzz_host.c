/* Hosts a game while a hostile peer sends it garbage; counts what reaches the
 * program and how long its frames stalled, until the honest joiner is done. */
#include "net_util.h"

void __MAIN(void) {
  int t, honest = 0, spoofed = 0, control = 0, joined = 0, left = 0, other = 0, gap = 0, last, now, done = 0;
  int start;
  logValue("host", _fhostnetgame(S("Kr Fuzz")));
  logValue("player", _fcreatenetplayer(S("target")));
  start = last = _fmillisecs();
  while (!done && _fmillisecs() - start < 120000) {
    while (_frecvnetmsg()) {
      t = _fnetmsgtype();
      if (t == 1) ++honest;
      else if (t == 66) ++spoofed;
      else if (t == 67) ++control;
      else if (t == 100) ++joined;
      else if (t == 101) ++left;
      else if (t == 9) done = 1;
      else ++other;
    }
    now = _fmillisecs();
    if (now - last > gap) gap = now - last;
    last = now;
    _fdelay(2);
  }
  logValue("honest", honest);
  logValue("spoofed", spoofed);
  logValue("control", control);
  logValue("joined", joined);
  logValue("left", left);
  logValue("other", other);
  logValue("done", done);
  logValue("max_gap_ms", gap);
}
