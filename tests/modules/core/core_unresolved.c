#include "core_support.h"
void _fnosuchcommand(void);
void __MAIN(void) { _fnosuchcommand(); }
