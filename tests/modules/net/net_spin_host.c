/* Hosts and waits on the queue in tight loops only (no Delay): echoes the
 * joiner's pings, checks its thread is scheduled as before, then notices the
 * joiner die while still spinning. */
#include "net_util.h"

static krString* statLine;

/* The scheduling policy of the calling thread, field 41 of its stat line (0
 * normal, 3 batch), or -1 when it cannot be read. */
static int threadPolicy(void) {
  int file = _freadfile(S("/proc/thread-self/stat")), at = 0, next, space;
  if (!file) return -1;
  __krStrStore(&statLine, _freadline(file));
  _fclosefile(file);
  while ((next = _finstr(__krStrLoad(&statLine), S(")"), at + 1)) != 0) at = next;
  /* The name may hold spaces; after its ')' the n-th space precedes field n+2. */
  for (space = 1; at && space <= 39; ++space) at = _finstr(__krStrLoad(&statLine), S(" "), at + 1);
  return at ? __krStrToInt(_fmid(__krStrLoad(&statLine), at + 1, 1)) : -1;
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
  logValue("policy", threadPolicy());
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
