#include <korrin.h>
volatile int zero = 0;
int result;
void __MAIN(void) {
  _fdebuglog(__krStrConst("before"));
  result = 10 / zero;
  _fdebuglog(__krStrConst("after"));
}
