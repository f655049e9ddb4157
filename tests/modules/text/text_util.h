/* Helpers for the font and console test modules. */
#ifndef TEXT_UTIL_H
#define TEXT_UTIL_H
#include "../graphics/gfx_util.h"

static inline krString* S(const char* text) { return __krStrConst(text); }

/* A string of n copies of c (n below 4096). */
static inline krString* repeated(char c, int n) {
  static char buffer[4096];
  int i;
  for (i = 0; i < n && i < 4095; ++i) buffer[i] = c;
  buffer[i] = 0;
  return __krStrConst(buffer);
}

/* A one-byte string. */
static inline krString* single(int code) {
  static char buffer[2];
  buffer[0] = (char)code;
  buffer[1] = 0;
  return __krStrConst(buffer);
}

#endif
