/* Reports the clock as soon as the module is entered (start-up benchmark). */
#include "core_support.h"
void __MAIN(void) { logNumber("entry=", _fmillisecs()); }
