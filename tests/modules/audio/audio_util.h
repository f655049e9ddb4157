/* Helpers for the audio test modules: no libc in a module, so numbers are
 * formatted here and logged with DebugLog ("debugLog: label=value"). */
#include <korrin.h>

static inline krString* S(const char* text) { return __krStrConst(text); }

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
  _fdebuglog(S(line));
}

static inline void logText(const char* text) { _fdebuglog(S(text)); }

/* Waits until the channel stops playing, at most limit ms; the ms it took. */
static inline int waitEnd(int channel, int limit) {
  int start = _fmillisecs();
  while (_fchannelplaying(channel) && _fmillisecs() - start < limit) _fdelay(5);
  return _fmillisecs() - start;
}
