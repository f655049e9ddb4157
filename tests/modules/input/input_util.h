/* Helpers for input test modules. A line logged as "@..." asks the test that
 * runs the module to push events into the window's queue; the module's next
 * pump (Delay 0) delivers them. No libc here. */
#ifndef INPUT_UTIL_H
#define INPUT_UTIL_H
#include <korrin.h>

static char inLine[160];

static inline int inAppend(int at, const char* text) {
  while (*text && at < 150) inLine[at++] = *text++;
  inLine[at] = 0;
  return at;
}

static inline int inAppendNumber(int at, int value) {
  char digits[12];
  int n = 0;
  unsigned v = value < 0 ? 0u - (unsigned)value : (unsigned)value;
  if (value < 0) at = inAppend(at, "-");
  do {
    digits[n++] = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  while (n > 0 && at < 150) inLine[at++] = digits[--n];
  inLine[at] = 0;
  return at;
}

/* Logs "label=value". */
static inline void report(const char* label, int value) {
  int at = inAppend(0, label);
  at = inAppend(at, "=");
  inAppendNumber(at, value);
  _fdebuglog(__krStrConst(inLine));
}

/* Pushes the events of a script and lets the window deliver them. */
static inline void inject(const char* script) {
  int at = inAppend(0, "@");
  inAppend(at, script);
  _fdebuglog(__krStrConst(inLine));
  _fdelay(0);
}

#endif
