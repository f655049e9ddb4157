/* Joins the basic game, creates two players, sends every type from beta to
 * all, echoes the host's payloads and logs what its two players receive. */
#include "net_util.h"

void __MAIN(void) {
  int alpha, beta, gamma, t;
  static const int types[] = {300, 200, 128, 255, -1, 2147483647, 0, 256, (int)0x80000000, 7};
  unsigned i;
  logValue("join", joinRetrying("Kr Basic", "127.0.0.1"));
  logValue("join_type", waitMsg(5000));
  alpha = _fnetmsgfrom();
  logString("host_player", _fnetplayername(alpha));
  logValue("alpha_local", _fnetplayerlocal(alpha));
  _fdeletenetplayer(alpha);  /* not ours: nothing happens */
  logString("alpha_after_delete", _fnetplayername(alpha));
  beta = _fcreatenetplayer(S("beta"));
  gamma = _fcreatenetplayer(S("gamma"));
  logValue("to_local_sent", _fsendnetmsg(5, S("loop"), beta, gamma, 1));
  for (i = 0; i < sizeof types / sizeof types[0]; ++i) _fsendnetmsg(types[i], S("t"), beta, 0, 1);
  _fsendnetmsg(9, S("done"), beta, 0, 1);

  for (;;) {
    t = waitMsg(10000);
    if (t == -9999) break;
    if (_fnetplayerlocal(_fnetmsgfrom())) logText("own_message");
    if (t >= 11 && t <= 14) {
      _fsendnetmsg(t, _fnetmsgdata(), beta, alpha, 1);
    } else if (t == 20 || t == 21) {
      logValue("got", t);
      logValue("to_gamma", _fnetmsgto() == gamma);
      logValue("to_all", _fnetmsgto() == 0);
      logString("data", _fnetmsgdata());
    } else if (t == 30) {
      break;
    } else {
      logValue("unexpected", t);
    }
  }
  logValue("bye_seen", t == 30);
}
