/* Arrays dimensioned, filled, re-dimensioned (strings and objects released)
 * and finally indexed past their end, as compiled code does it. */
#include "lang_module_util.h"

ObjType thing = KR_OBJTYPE_INIT(thing, 1, KR_TYPE_INT);

struct {
  ArrayDesc d;
  int size[2];
} grid = {{0, KR_TYPE_INT, 2}, {10, 5}};
struct {
  ArrayDesc d;
  int size[3];
} cube = {{0, KR_TYPE_FLOAT, 3}, {1, 2, 3}};
struct {
  ArrayDesc d;
  int size[1];
} names = {{0, KR_TYPE_STRING, 1}, {3}};
struct {
  ArrayDesc d;
  int size[1];
} things = {{0, KR_TYPE_OBJECT, 1}, {2}};
struct {
  ArrayDesc d;
  int size[1];
} never = {{0, KR_TYPE_STRING, 1}, {4}};
struct {
  ArrayDesc d;
  int size[1];
} single = {{0, KR_TYPE_INT, 1}, {0}};

Obj* kept;

static void stats(const char* label) {
  say(label);
  _fruntimestats();
}

static int element(ArrayDesc* array, int index) {
  if (index < 0 || index >= array->size[array->dimCount - 1]) __krArrayBoundsEx();
  return ((int*)array->data)[index];
}

void __MAIN(void) {
  int i, zeros = 0;
  krString** text;
  Obj** objects;

  __krDimArray(&grid.d);
  sayInt("grid sizes ", grid.d.size[0] * 1000 + grid.d.size[1]);
  for (i = 0; i < 66; ++i) zeros += ((int*)grid.d.data)[i] == 0;
  sayInt("grid zeros ", zeros);
  __krDimArray(&cube.d);
  sayInt("cube sizes ", cube.d.size[0] * 10000 + cube.d.size[1] * 100 + cube.d.size[2]);
  __krDimArray(&single.d);
  sayInt("single size ", single.d.size[0]);
  __krUndimArray(&never.d);
  sayInt("never dimensioned ", never.d.data == 0);

  __krDimArray(&names.d);
  text = (krString**)names.d.data;
  for (i = 0; i < 4; ++i) __krStrStore(&text[i], __krStrFromInt(i * 11));
  __krStrStore(&text[2], 0);
  stats("names filled");
  names.d.size[0] = 1;
  __krDimArray(&names.d);
  text = (krString**)names.d.data;
  sayInt("names redimensioned, nulls ", (text[0] == 0) + (text[1] == 0));
  stats("names redimensioned");
  for (i = 0; i < 2; ++i) __krStrStore(&text[i], __krStrConst("again"));
  names.d.size[0] = 600;
  __krDimArray(&names.d);
  text = (krString**)names.d.data;
  for (i = 0; i < 601; ++i) zeros += text[i] == 0;
  sayInt("names grown, nulls ", zeros - 66);
  __krStrStore(&text[600], __krStrConst("last"));
  __krUndimArray(&names.d);
  __krUndimArray(&names.d);
  stats("names undimensioned twice");

  __krDimArray(&things.d);
  objects = (Obj**)things.d.data;
  __krObjStore(&objects[0], __krObjNew(&thing));
  __krObjStore(&objects[1], __krObjNew(&thing));
  __krObjStore(&kept, objects[1]);
  __krObjDelete(objects[0]);
  __krObjDelete(objects[1]);
  stats("things deleted, still in the array");
  __krUndimArray(&things.d);
  sayInt("things undimensioned ", things.d.data == 0);
  stats("things released");

  sayInt("grid[65] ", element(&grid.d, 65));
  sayInt("grid[66] ", element(&grid.d, 66));
  say("not reached");
}
