/* Small helpers for core test modules (no C library in modules). */
#include <korrin.h>

static __attribute__((unused)) void logText(const char* text) { _fdebuglog(__krStrConst(text)); }

static __attribute__((unused)) void logNumber(const char* label, int value) {
  char buffer[64];
  int n = 0, i;
  char digits[12];
  int d = 0;
  unsigned int v = value < 0 ? 0u - (unsigned int)value : (unsigned int)value;
  while (label[n] && n < 40) { buffer[n] = label[n]; ++n; }
  if (value < 0) buffer[n++] = '-';
  do { digits[d++] = (char)('0' + v % 10); v /= 10; } while (v);
  for (i = d - 1; i >= 0; --i) buffer[n++] = digits[i];
  buffer[n] = 0;
  _fdebuglog(__krStrConst(buffer));
}
