/* Helpers for the file test modules: no libc in a module, so numbers are
 * formatted here. Log lines go to log.txt (written with WriteLine), which the
 * test reads with or without --debug and which keeps NUL bytes intact. */
#include <korrin.h>

static char logBuffer[128];

static inline krString* S(const char* text) { return __krStrConst(text); }

static int logFile;

static inline void logStr(krString* s) {
  if (!logFile) logFile = _fwritefile(S("log.txt"));
  _fwriteline(logFile, s);
}

static inline void logText(const char* text) { logStr(S(text)); }

/* Logs "label=value". */
static inline void logInt(const char* label, int value) {
  char digits[12];
  int n = 0, i = 0;
  unsigned u = value < 0 ? 0u - (unsigned)value : (unsigned)value;
  do {
    digits[n++] = (char)('0' + u % 10);
    u /= 10;
  } while (u);
  while (*label) logBuffer[i++] = *label++;
  logBuffer[i++] = '=';
  if (value < 0) logBuffer[i++] = '-';
  while (n) logBuffer[i++] = digits[--n];
  logBuffer[i] = 0;
  logText(logBuffer);
}
