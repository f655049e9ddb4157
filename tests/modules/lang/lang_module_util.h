/* Small helpers for the language-support test modules (no C library here). */
#include <korrin.h>

static inline void say(const char* text) { _fdebuglog(__krStrConst(text)); }

/* Logs LABEL followed by the text of s; s is consumed. */
static inline void sayStr(const char* label, krString* s) { _fdebuglog(__krStrConcat(__krStrConst(label), s)); }

static inline void sayInt(const char* label, int n) { sayStr(label, __krStrFromInt(n)); }

static inline void sayFloat(const char* label, float f) { sayStr(label, __krStrFromFloat(f)); }

/* A new temporary with the eight upper-case hexadecimal digits of a pointer. */
static inline krString* hexText(const void* p) {
  static const char digits[] = "0123456789ABCDEF";
  char text[9];
  unsigned v = (unsigned)p;
  int i;
  for (i = 7; i >= 0; --i) {
    text[i] = digits[v & 15];
    v >>= 4;
  }
  text[8] = 0;
  return __krStrConst(text);
}
