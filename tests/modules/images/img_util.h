/* Helpers for image test modules. */
#ifndef IMG_UTIL_H
#define IMG_UTIL_H
#include "../graphics/gfx_util.h"

static inline krString* S(const char* text) { return __krStrConst(text); }

/* Logs "label=R,G,B"-free form: the pixel of a frame as one number. */
static inline void logPixel(const char* label, int image, int frame, int x, int y) {
  logValue(label, _freadpixel(x, y, _fimagebuffer(image, frame)));
}

/* A float from its bits: NaN and infinity without a C library. */
static inline float floatBits(unsigned bits) {
  union {
    unsigned u;
    float f;
  } v;
  v.u = bits;
  return v.f;
}

#endif
