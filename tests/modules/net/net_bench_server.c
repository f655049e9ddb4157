/* The runtime side of the benchmark: echoes pings, counts a stream, answers
 * large messages, measures the latency of timestamped messages and the time
 * from the client's last word to its players' departure. */
#include "net_util.h"

void __MAIN(void) {
  int me, t, from, stream = 0, count = 0, sum = 0, worst = 0, lag, byeAt = 0;
  logValue("host", _fhostnetgame(S("Kr Bench")));
  me = _fcreatenetplayer(S("server"));
  for (;;) {
    if (!_frecvnetmsg()) continue;
    t = _fnetmsgtype();
    from = _fnetmsgfrom();
    if (t == 1) {
      _fsendnetmsg(1, _fnetmsgdata(), me, from, 1);
    } else if (t == 2) {
      if (++stream == 100000) {
        _fsendnetmsg(3, S("done"), me, from, 1);
        stream = 0;
      }
    } else if (t == 4) {
      _fsendnetmsg(4, S("ok"), me, from, 1);
    } else if (t == 5) {
      lag = _fmillisecs() - __krStrToInt(_fnetmsgdata());
      sum += lag;
      if (lag > worst) worst = lag;
      ++count;
    } else if (t == 6) {
      logValue("latency_count", count);
      logValue("latency_sum_ms", sum);
      logValue("latency_max_ms", worst);
      _fsendnetmsg(6, S("ok"), me, from, 1);
    } else if (t == 9) {
      byeAt = _fmillisecs();
    } else if (t == 101 && byeAt) {
      logValue("leave_ms", _fmillisecs() - byeAt);
      break;
    }
  }
}
