/* Logging for test modules: a module has no C library, so numbers are
 * formatted here and lines go out through DebugLog ("debugLog: label=value"
 * when the test runs krrun with --debug). */
#pragma once
#include <korrin.h>

static inline krString* S(const char* text) { return __krStrConst(text); }

static inline void logText(const char* text) { _fdebuglog(S(text)); }

/* Logs "label=value"; labels are cut at 80 characters. */
static inline void logInt(const char* label, int value) {
  char line[96];
  char digits[12];
  int n = 0, i = 0;
  unsigned u = value < 0 ? 0u - (unsigned)value : (unsigned)value;
  do {
    digits[n++] = (char)('0' + u % 10);
    u /= 10;
  } while (u);
  while (*label && i < 80) line[i++] = *label++;
  line[i++] = '=';
  if (value < 0) line[i++] = '-';
  while (n) line[i++] = digits[--n];
  line[i] = 0;
  logText(line);
}
