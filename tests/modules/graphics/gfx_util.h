/* Helpers for graphics test modules: no libc here, so numbers are formatted by hand. */
#ifndef GFX_UTIL_H
#define GFX_UTIL_H
#include <korrin.h>

static char gfxLine[128];

static inline int gfxAppend(int at, const char* text) {
  while (*text && at < 120) gfxLine[at++] = *text++;
  gfxLine[at] = 0;
  return at;
}

static inline int gfxAppendNumber(int at, int value) {
  char digits[12];
  int n = 0;
  unsigned v = value < 0 ? 0u - (unsigned)value : (unsigned)value;
  if (value < 0) at = gfxAppend(at, "-");
  do {
    digits[n++] = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  while (n > 0 && at < 120) gfxLine[at++] = digits[--n];
  gfxLine[at] = 0;
  return at;
}

/* Logs "label=value". */
static inline void logValue(const char* label, int value) {
  int at = gfxAppend(0, label);
  at = gfxAppend(at, "=");
  gfxAppendNumber(at, value);
  _fdebuglog(__krStrConst(gfxLine));
}

static inline void logText(const char* text) { _fdebuglog(__krStrConst(text)); }

static inline void save(const char* file) { _fsavebuffer(0, __krStrConst(file)); }

/* Saves the current buffer as "d<depth>_<name>.bmp". */
static inline void saveAtDepth(int depth, const char* name) {
  int at = gfxAppend(0, "d");
  at = gfxAppendNumber(at, depth);
  at = gfxAppend(at, "_");
  at = gfxAppend(at, name);
  gfxAppend(at, ".bmp");
  _fsavebuffer(0, __krStrConst(gfxLine));
}

/* Logs "d<depth>_<label>=value". */
static inline void logAtDepth(int depth, const char* label, int value) {
  char name[48];
  int i = 0, at;
  at = gfxAppend(0, "d");
  at = gfxAppendNumber(at, depth);
  at = gfxAppend(at, "_");
  at = gfxAppend(at, label);
  for (i = 0; i < at && i < 47; ++i) name[i] = gfxLine[i];
  name[i] = 0;
  logValue(name, value);
}

#endif
