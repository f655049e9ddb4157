/* The runtime side of the benchmark, measuring client: join, stream, large
 * messages, latency under load, idle polling (ping-pong has rounds of its own,
 * net_bench_ping). */
#include "net_util.h"

static krString* big;

void __MAIN(void) {
  int me, server, i, start, players[8];
  start = _fmillisecs();
  logValue("join", joinRetrying("Kr Bench", "127.0.0.1"));
  logValue("join_ms", _fmillisecs() - start);
  me = _fcreatenetplayer(S("client"));
  server = spinFrom(100);

  start = _fmillisecs();
  for (i = 0; i < 100000; ++i) _fsendnetmsg(2, S("0123456789abcdef0123456789abcdef"), me, server, 1);
  spinFrom(3);
  logValue("stream_100000_ms", _fmillisecs() - start);

  __krStrStore(&big, _fstring(S("0123456789abcdef"), 65536));
  start = _fmillisecs();
  for (i = 0; i < 10; ++i) {
    _fsendnetmsg(4, __krStrLoad(&big), me, server, 1);
    spinFrom(4);
  }
  logValue("big_10_ms", _fmillisecs() - start);

  for (i = 0; i < 8; ++i) players[i] = _fcreatenetplayer(S("load"));
  start = _fmillisecs();
  for (i = 0; _fmillisecs() - start < 2000; ++i) {
    _fsendnetmsg(5, __krStrFromInt(_fmillisecs()), players[i & 7], server, 1);
    _frecvnetmsg();
    _fdelay(1);
  }
  _fsendnetmsg(6, S("report"), me, server, 1);
  spinFrom(6);

  start = _fmillisecs();
  for (i = 0; i < 10000000; ++i) _frecvnetmsg();
  logValue("idle_10000000_ms", _fmillisecs() - start);

  _fsendnetmsg(9, S("bye"), me, server, 1);
  _fstopnetgame();
}
