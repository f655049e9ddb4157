/* Strings as compiled code uses them: variables, temporaries, comparisons,
 * concatenation and the number text forms under the run's 24-bit precision. */
#include "lang_module_util.h"

krString* name;
krString* scratch;
volatile float seven_tenths = 0.7f;
volatile float third = 1.0f / 3.0f;

void __MAIN(void) {
  int i;
  sayStr("load of null: [", __krStrConcat(__krStrLoad(&name), __krStrConst("]")));
  __krStrStore(&name, __krStrConst("Korrin"));
  __krStrStore(&name, __krStrConcat(__krStrLoad(&name), __krStrConst(" Basic")));
  sayStr("name: ", __krStrLoad(&name));

  sayInt("abc<abd: ", __krStrCompare(__krStrConst("abc"), __krStrConst("abd")));
  sayInt("abc>ab: ", __krStrCompare(__krStrConst("abc"), __krStrConst("ab")));
  sayInt("empty=empty: ", __krStrCompare(__krStrConst(""), __krStrConst("")));
  sayInt("200>100: ", __krStrCompare(__krStrConst("\310"), __krStrConst("d")));

  sayInt("toInt: ", __krStrToInt(__krStrConst("  -42xyz")));
  sayInt("toInt abc: ", __krStrToInt(__krStrConst("abc")));
  sayFloat("toFloat: ", __krStrToFloat(__krStrConst("1e3")));
  sayFloat("0.7: ", seven_tenths);
  sayFloat("1/3: ", third);
  sayFloat("-0.5: ", -0.5f);
  sayFloat("tiny: ", 0.0000001f);
  sayFloat("big: ", 3e9f);
  sayFloat("inf: ", seven_tenths / (seven_tenths - 0.7f));
  sayInt("min: ", -2147483647 - 1);

  /* A long string built a piece at a time, then cut down by reassignment. */
  for (i = 0; i < 300; ++i) __krStrStore(&scratch, __krStrConcat(__krStrLoad(&scratch), __krStrFromInt(i % 10)));
  sayInt("length compare: ", __krStrCompare(__krStrLoad(&scratch), __krStrLoad(&name)));
  __krStrStore(&scratch, 0);
  __krStrRelease(__krStrConcat(__krStrConst(""), __krStrConst("")));
  __krStrStore(&name, 0);
  _fruntimestats();
}
