/* Helpers shared by the library test modules (no libc in a module). */
#include <korrin.h>

static __attribute__((unused)) krString* S(const char* text) { return __krStrConst(text); }
static __attribute__((unused)) void say(const char* text) { _fdebuglog(S(text)); }

static __attribute__((unused)) void sayInt(int value) {
  char text[16];
  char* p = text + sizeof(text) - 1;
  unsigned magnitude = value < 0 ? 0u - (unsigned)value : (unsigned)value;
  *p = 0;
  do {
    *--p = (char)('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) *--p = '-';
  say(p);
}

/* A float travels as its bit pattern in hexadecimal, checked by the test. */
static __attribute__((unused)) void sayBits(float value) {
  union { float f; int i; } u;
  u.f = value;
  _fdebuglog(_fhex(u.i));
}
