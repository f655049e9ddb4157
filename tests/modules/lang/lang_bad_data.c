/* A data table with an entry of an unknown type. */
#include "lang_module_util.h"

DataRecord __DATA[] = {{KR_DATA_INT, {.i = 1}}, {3, {.i = 2}}, {KR_DATA_END, {0}}};

void __MAIN(void) {
  __krRestore(__DATA);
  sayInt("first ", __krReadInt());
  sayInt("second ", __krReadInt());
}
