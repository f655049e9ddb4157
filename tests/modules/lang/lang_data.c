/* A data table at __DATA read as integers, floats and strings, restored, and
 * read past its end. */
#include "lang_module_util.h"

DataRecord __DATA[] = {
    {KR_DATA_INT, {.i = 5}},     {KR_DATA_FLOAT, {.f = 1.5f}},  {KR_DATA_STRING, {.s = "12abc"}},
    {KR_DATA_FLOAT, {.f = 2.9f}}, {KR_DATA_FLOAT, {.f = -2.9f}}, {KR_DATA_STRING, {.s = " 2.5e1x"}},
    {KR_DATA_INT, {.i = -7}},    {KR_DATA_FLOAT, {.f = 0.7f}},  {KR_DATA_END, {0}},
};

void __MAIN(void) {
  __krRestore(__DATA);
  sayInt("int ", __krReadInt());
  sayInt("int ", __krReadInt());
  sayInt("int ", __krReadInt());
  sayInt("int ", __krReadInt());
  sayInt("int ", __krReadInt());
  sayInt("int ", __krReadInt());
  __krRestore(__DATA);
  sayFloat("float ", __krReadFloat());
  sayFloat("float ", __krReadFloat());
  sayFloat("float ", __krReadFloat());
  __krRestore(&__DATA[5]);
  sayFloat("float ", __krReadFloat());
  __krRestore(__DATA);
  sayStr("str ", __krReadStr());
  sayStr("str ", __krReadStr());
  sayStr("str ", __krReadStr());
  __krRestore(&__DATA[6]);
  sayStr("str ", __krReadStr());
  sayStr("str ", __krReadStr());
  sayStr("past the end ", __krReadStr());
  say("not reached");
}
