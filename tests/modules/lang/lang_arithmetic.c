/* The arithmetic helpers under the run's floating-point settings, ending with
 * a remainder by zero. */
#include "lang_module_util.h"

volatile int zero = 0;

void __MAIN(void) {
  sayInt("abs ", __krAbs(-5));
  sayInt("abs min ", __krAbs(-2147483647 - 1));
  sayInt("sgn ", __krSgn(-2147483647 - 1));
  sayInt("sgn ", __krSgn(0));
  sayInt("sgn ", __krSgn(9));
  sayInt("mod ", __krMod(-7, 3));
  sayInt("mod ", __krMod(7, -3));
  sayInt("mod ", __krMod(-2147483647 - 1, -1));
  sayFloat("fabs ", __krFAbs(-2.5f));
  sayFloat("fsgn ", __krFSgn(-0.0f));
  sayFloat("fsgn ", __krFSgn(-3.0f));
  sayFloat("fsgn ", __krFSgn(0.25f));
  sayFloat("fmod ", __krFMod(-7.5f, 2.0f));
  sayFloat("fmod by 0 ", __krFMod(1.0f, 0.0f));
  sayFloat("pow ", __krFPow(2.0f, 10.0f));
  sayFloat("pow ", __krFPow(10.0f, 7.0f));
  sayFloat("pow ", __krFPow(2.0f, 0.5f));
  sayFloat("pow ", __krFPow(-8.0f, 0.5f));
  sayInt("mod by zero ", __krMod(5, zero));
  say("not reached");
}
