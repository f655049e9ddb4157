#include <korrin.h>
void __MAIN(void) {}
