/* Maths commands under the control word a run sets. Each result is logged as
 * its bit pattern; the test recomputes it. */
#include "lib_support.h"

static const float inputs[] = {0.0f, 30.0f, 45.0f, 90.0f, 180.0f, -270.0f, 1e6f, 123456.7f, 0.001f};

void __MAIN(void) {
  int i;
  for (i = 0; i < (int)(sizeof(inputs) / sizeof(inputs[0])); ++i) {
    float x = inputs[i];
    sayBits(_fsin(x));
    sayBits(_fcos(x));
    sayBits(_ftan(x));
    sayBits(_fsqr(x));
    sayBits(_fexp(x / 1000.0f));
    sayBits(_flog(x));
    sayBits(_flog10(x));
    sayBits(_fatan(x));
    sayBits(_fatan2(x, -1.0f));
    sayBits(_fasin(x / 1e6f));
    sayBits(_facos(x / 1e6f));
    sayBits(_ffloor(x / 7.0f));
    sayBits(_fceil(x / 7.0f));
  }
}
