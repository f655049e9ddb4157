/* The generator as a program sees it: the start-up sequence, then a seed that
 * brings the same sequence back. */
#include "lib_support.h"

static void sayRun(int count, float from, float to) {
  int i;
  for (i = 0; i < count; ++i) sayBits(_frnd(from, to));
}

void __MAIN(void) {
  sayRun(500, 0.0f, 1.0f);
  sayRun(500, -3.0f, 7.0f);
  sayRun(500, 100.0f, 0.0f);
  _fseedrnd(4660);
  sayRun(500, 0.0f, 1.0f);
  _fseedrnd(4660 + 65536 * 3);
  sayRun(1, 0.0f, 1.0f);
}
