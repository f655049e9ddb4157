/* RuntimeStats beside the addresses of the strings the program holds. */
#include "lang_module_util.h"

krString* held[3];
ObjType kind = KR_OBJTYPE_INIT(kind, 1, KR_TYPE_STRING);
Obj* one;

void __MAIN(void) {
  int i;
  _fruntimestats();
  for (i = 0; i < 3; ++i) __krStrStore(&held[i], __krStrFromInt(i));
  __krObjStore(&one, __krObjNew(&kind));
  __krObjNew(&kind);
  for (i = 0; i < 3; ++i) _fdebuglog(__krStrConcat(__krStrConst("string@"), hexText(held[i])));
  _fruntimestats();
}
