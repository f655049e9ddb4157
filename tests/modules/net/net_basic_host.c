/* Hosts a game, meets the joiner's two players, logs every message they send,
 * then has the joiner echo payloads back and compares them. */
#include "net_util.h"

static krString* payload[4];

static krString* bytesUpTo(int count) {
  krString* s = 0;
  int i;
  for (i = 0; i < count; ++i) s = __krStrConcat(s, _fchr(i & 255));
  return s;
}

void __MAIN(void) {
  int alpha, beta, gamma, t, i;
  logValue("host", _fhostnetgame(S("Kr Basic")));
  alpha = _fcreatenetplayer(S("alpha"));
  logValue("alpha_local", _fnetplayerlocal(alpha));
  logValue("alpha_positive", alpha > 0);

  waitType(100, 15000);
  beta = _fnetmsgfrom();
  logString("joined", _fnetplayername(beta));
  logValue("beta_local", _fnetplayerlocal(beta));
  waitType(100, 5000);
  gamma = _fnetmsgfrom();
  logString("joined", _fnetplayername(gamma));
  logValue("ids_differ", beta != gamma && beta != alpha);

  /* Everything beta sends to all, until type 9. */
  for (;;) {
    t = waitMsg(5000);
    if (t == -9999 || t == 9) break;
    logValue("got_type", t);
    logValue("got_from_beta", _fnetmsgfrom() == beta);
    logValue("got_to", _fnetmsgto());
  }
  logValue("done_seen", t == 9);

  /* Echoes: empty, every byte value, 2000 and 65536 bytes. */
  __krStrStore(&payload[0], 0);
  __krStrStore(&payload[1], bytesUpTo(256));
  __krStrStore(&payload[2], _fstring(S("0123456789"), 200));
  __krStrStore(&payload[3], _fstring(bytesUpTo(256), 256));
  for (i = 0; i < 4; ++i) {
    logValue("sent", _fsendnetmsg(11 + i, __krStrLoad(&payload[i]), alpha, beta, 1));
    t = waitMsg(5000);
    logValue("echo_type", t);
    logValue("echo_len", _flen(_fnetmsgdata()));
    logValue("echo_equal", __krStrCompare(_fnetmsgdata(), __krStrLoad(&payload[i])) == 0);
  }

  /* One message to gamma only, one to all. */
  _fsendnetmsg(20, S("to gamma"), alpha, gamma, 1);
  _fsendnetmsg(21, S("to all"), alpha, 0, 1);
  _fsendnetmsg(30, S("bye"), alpha, 0, 1);
  /* The joiner leaves: both its players go. */
  t = waitMsg(10000);
  logValue("left_type", t);
  logValue("left_first", _fnetmsgfrom() == beta || _fnetmsgfrom() == gamma);
  t = waitMsg(5000);
  logValue("left_type", t);
  logString("name_after_leave", _fnetplayername(beta));
  _fstopnetgame();
}
