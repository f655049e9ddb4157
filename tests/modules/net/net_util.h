/* Helpers for multiplayer test modules: no libc here, so numbers are formatted
 * by hand and waits poll RecvNetMsg with short delays. */
#ifndef NET_UTIL_H
#define NET_UTIL_H
#include <korrin.h>

static char netLine[200];

static inline krString* S(const char* text) { return __krStrConst(text); }

static inline int netAppend(int at, const char* text) {
  while (*text && at < 190) netLine[at++] = *text++;
  netLine[at] = 0;
  return at;
}

static inline int netAppendNumber(int at, int value) {
  char digits[12];
  int n = 0;
  unsigned v = value < 0 ? 0u - (unsigned)value : (unsigned)value;
  if (value < 0) at = netAppend(at, "-");
  do {
    digits[n++] = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  while (n > 0 && at < 190) netLine[at++] = digits[--n];
  netLine[at] = 0;
  return at;
}

static inline void logText(const char* text) { _fdebuglog(S(text)); }

/* Logs "label=value". */
static inline void logValue(const char* label, int value) {
  int at = netAppend(0, label);
  at = netAppend(at, "=");
  netAppendNumber(at, value);
  _fdebuglog(S(netLine));
}

/* Logs "label=" followed by a string (consumed). */
static inline void logString(const char* label, krString* text) {
  netAppend(netAppend(0, label), "=");
  _fdebuglog(__krStrConcat(S(netLine), text));
}

/* Waits up to ms for the next message; its type, or -9999 when none came. */
static inline int waitMsg(int ms) {
  int until = _fmillisecs() + ms;
  for (;;) {
    if (_frecvnetmsg()) return _fnetmsgtype();
    if (_fmillisecs() - until > 0) return -9999;
    _fdelay(1);
  }
}

/* Waits for a message of the given type, skipping others. */
static inline int waitType(int type, int ms) {
  int until = _fmillisecs() + ms;
  while (_fmillisecs() - until < 0) {
    int t = waitMsg(until - _fmillisecs());
    if (t == type) return t;
    if (t == -9999) break;
  }
  return -9999;
}

/* Polls in a tight loop (no Delay) for a message of the given type, skipping
 * others; its type, or -9999 when none came within ms. */
static inline int spinType(int type, int ms) {
  int until = _fmillisecs() + ms;
  while (_fmillisecs() - until < 0)
    if (_frecvnetmsg() && _fnetmsgtype() == type) return type;
  return -9999;
}

/* As spinType with no limit (the benchmarks, whose runner bounds the run);
 * the sender's id. */
static inline int spinFrom(int type) {
  for (;;)
    if (_frecvnetmsg() && _fnetmsgtype() == type) return _fnetmsgfrom();
}

/* Joins, retrying while the host may still be starting. */
static inline int joinRetrying(const char* name, const char* address) {
  int tries;
  for (tries = 0; tries < 8; ++tries) {
    int r = _fjoinnetgame(S(name), S(address));
    if (r) return r;
  }
  return 0;
}

#endif
