/* A runtime error deep in the program still shuts the groups down: the file
 * left open is flushed and closed by the files group. */
#include "core_support.h"
#pragma GCC diagnostic ignored "-Winfinite-recursion"
static void fail(int depth) {
  if (depth == 0) _fruntimeerror(__krStrConst("stopped with a file open"));
  fail(depth - 1);
}
void __MAIN(void) {
  int file = _fwritefile(__krStrConst("left-open.txt"));
  int i;
  for (i = 0; i < 1000; ++i) _fwriteline(file, __krStrConst("a line that waits in the buffer"));
  fail(20);
}
