/* Single precision is in force while compiled code runs: 1 + 2^-30 rounds to 1
 * even when the sum is kept as a double. */
#include "core_support.h"
volatile double one = 1.0, tiny = 1.0 / 1073741824.0;
volatile double sum;
void __MAIN(void) {
  sum = one + tiny;
  logText(sum == one ? "24-bit" : "wider");
}
