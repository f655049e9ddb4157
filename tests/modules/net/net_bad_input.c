/* Bad ids, long names and addresses and oversized messages: results, never errors. */
#include "net_util.h"

void __MAIN(void) {
  int p, start;
  krString* big;
  logValue("local_0", _fnetplayerlocal(0));
  logValue("local_minus1", _fnetplayerlocal(-1));
  logString("name_0", _fnetplayername(0));
  logString("name_unknown", _fnetplayername(12345));
  start = _fmillisecs();
  logValue("join_long_address", _fjoinnetgame(S("x"), _fstring(S("a"), 5000)));
  logValue("join_bad_port", _fjoinnetgame(S("x"), S("127.0.0.1:0")));
  logValue("join_port_text", _fjoinnetgame(S("x"), S("127.0.0.1:abc")));
  logValue("bad_addresses_fast", _fmillisecs() - start < 1500);
  start = _fmillisecs();
  logValue("join_nobody", _fjoinnetgame(S("x"), S("127.0.0.1")));
  logValue("nobody_ms_ok", _fmillisecs() - start >= 1800 && _fmillisecs() - start <= 3000);
  logValue("join_lan_nobody", _fjoinnetgame(S("x"), S("")));

  logValue("host_long_name", _fhostnetgame(_fstring(S("g"), 5000)));
  p = _fcreatenetplayer(_fstring(S("p"), 5000));
  logValue("player_positive", p > 0);
  logValue("long_player_name", _flen(_fnetplayername(p)));
  logValue("recv_empty", _frecvnetmsg());
  logValue("type_after_empty", _fnetmsgtype());
  logValue("from_after_empty", _fnetmsgfrom());
  logValue("send_from_0", _fsendnetmsg(1, S("x"), 0, 0, 1));
  logValue("send_from_minus1", _fsendnetmsg(1, S("x"), -1, 0, 1));
  logValue("send_from_unknown", _fsendnetmsg(1, S("x"), 777, 0, 1));
  logValue("send_to_unknown", _fsendnetmsg(1, S("x"), p, 777, 0));
  logValue("send_to_minus1", _fsendnetmsg(1, S("x"), p, -1, 1));
  logValue("send_to_all_alone", _fsendnetmsg(1, S("x"), p, 0, 1));
  big = _fstring(S("0123456789abcdef"), 1048576);
  logValue("send_at_cap", _fsendnetmsg(1, big, p, 0, 1));
  big = __krStrConcat(_fstring(S("0123456789abcdef"), 1048576), S("!"));
  logValue("send_over_cap", _fsendnetmsg(1, big, p, 0, 1));
  _fdeletenetplayer(0);
  _fdeletenetplayer(-1);
  _fdeletenetplayer(777);
  logValue("still_local", _fnetplayerlocal(p));
  _fdeletenetplayer(p);
  logValue("deleted_local", _fnetplayerlocal(p));
  logValue("send_from_deleted", _fsendnetmsg(1, S("x"), p, 0, 1));
  _fstopnetgame();
  _fstopnetgame();
  logValue("name_after_stop", _fnetplayerlocal(p));
  logValue("host_again", _fhostnetgame(S("again")));
}
