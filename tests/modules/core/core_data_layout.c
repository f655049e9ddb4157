/* Data the linker cannot tell from code by its names: 64 KB of initialised
 * and 64 KB of zeroed globals under ordinary names, and a routine that runs
 * from a data array, after all the code. */
#include "core_support.h"

int scores[16384] = {[0 ... 16383] = 3};
int board[16384];
static unsigned char routine[] = {0xB8, 42, 0, 0, 0, 0xC3}; /* mov eax, 42; ret */

void __MAIN(void) {
  int i, sum = 0;
  for (i = 0; i < 16384; ++i) board[i] = i & 7;
  for (i = 0; i < 16384; ++i) sum += scores[i] + board[i];
  logNumber("sum=", sum);
  logNumber("routine=", ((int (*)(void))routine)());
  routine[1] = 43; /* a page both written and executed stays usable */
  logNumber("patched=", ((int (*)(void))routine)());
}
