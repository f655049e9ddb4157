/* Joins games only by their exact bytes. */
#include "net_util.h"

static void joinAndStop(const char* label, krString* name) {
  int p;
  logValue(label, _fjoinnetgame(name, S("127.0.0.1")));
  p = _fcreatenetplayer(S("stopper"));
  waitType(100, 3000);
  _fsendnetmsg(99, S("stop"), p, 0, 1);
  _fstopnetgame();
}

void __MAIN(void) {
  int start;
  /* Both hosts must be up before the wrong names are tried. */
  logValue("exact_found", joinRetrying("CaseGame", "127.0.0.1"));
  _fstopnetgame();
  start = _fmillisecs();
  logValue("lower_case", _fjoinnetgame(S("casegame"), S("127.0.0.1")));
  logValue("miss_ms_ok", _fmillisecs() - start <= 3000);
  logValue("trailing_space", _fjoinnetgame(S("CaseGame "), S("127.0.0.1")));
  logValue("long_short_by_one", _fjoinnetgame(_fstring(S("n"), 4999), S("127.0.0.1")));
  joinAndStop("long_exact", _fstring(S("n"), 5000));
  joinAndStop("exact", S("CaseGame"));
}
