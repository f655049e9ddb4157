/* Objects created, walked, reordered, deleted inside for-each loops, counted
 * and printed, with a type descriptor laid out as compiled code lays it out. */
#include "lang_module_util.h"

ObjType point = KR_OBJTYPE_INIT(point, 4, KR_TYPE_INT, KR_TYPE_FLOAT, KR_TYPE_STRING, KR_TYPE_OBJECT);
ObjType empty = KR_OBJTYPE_INIT(empty, 0);
ObjType odd = KR_OBJTYPE_INIT(odd, 2, KR_TYPE_INT, 9);

Obj* a;
Obj* b;
Obj* c;
Obj* p;

static Obj* make(int x) {
  Obj* o = __krObjNew(&point);
  o->fields[0] = x;
  return o;
}

static void sayOrder(const char* label) {
  krString* s = __krStrConst(label);
  Obj* o;
  for (o = __krObjFirst(&point); o; o = __krObjNext(o)) s = __krStrConcat(s, __krStrFromInt(o->fields[0]));
  s = __krStrConcat(s, __krStrConst(" backwards "));
  for (o = __krObjLast(&point); o; o = __krObjPrev(o)) s = __krStrConcat(s, __krStrFromInt(o->fields[0]));
  _fdebuglog(s);
}

static void stats(const char* label) {
  say(label);
  _fruntimestats();
}

void __MAIN(void) {
  Obj* chain[9];
  int i;
  __krObjStore(&a, make(1));
  __krObjStore(&b, make(2));
  __krObjStore(&c, make(3));
  sayOrder("created ");
  __krObjInsBefore(c, __krObjFirst(&point));
  sayOrder("3 first ");
  __krObjInsAfter(c, __krObjLast(&point));
  __krObjInsAfter(a, a);
  sayOrder("3 last ");

  /* Deletes the next object and then the current one while walking. */
  {
    krString* seen = __krStrConst("visited ");
    if (__krObjEachFirst(&p, &point)) do {
        seen = __krStrConcat(seen, __krStrFromInt(p->fields[0]));
        if (p->fields[0] == 1) __krObjDelete(b);
        if (p->fields[0] == 3) __krObjDelete(p);
      } while (__krObjEachNext(&p));
    _fdebuglog(seen);
  }
  sayOrder("left ");
  sayInt("b is null: ", __krObjCompare(b, 0));
  sayInt("c is null: ", __krObjCompare(c, 0));
  sayInt("a is a: ", __krObjCompare(a, a));
  sayInt("a is null: ", __krObjCompare(a, 0));
  stats("deleted but held");
  __krObjStore(&b, 0);
  __krObjStore(&c, 0);
  stats("released");
  __krObjDelete(b);

  /* Printing: fields, self reference, nesting beyond eight levels. */
  a->fields[1] = 0x3FC00000; /* 1.5 */
  __krStrStore((krString**)&a->fields[2], __krStrConst("hi"));
  sayStr("", __krObjToStr(a));
  __krObjStore((Obj**)&a->fields[3], a);
  sayStr("", __krObjToStr(a));
  __krObjStore((Obj**)&a->fields[3], 0);
  for (i = 0; i < 9; ++i) chain[i] = make(10 + i);
  for (i = 0; i < 8; ++i) __krObjStore((Obj**)&chain[i]->fields[3], chain[i + 1]);
  sayStr("", __krObjToStr(chain[0]));
  sayStr("", __krObjToStr(0));
  sayStr("", __krObjToStr(__krObjNew(&empty)));
  sayStr("", __krObjToStr(__krObjNew(&odd)));
  __krObjDeleteEach(&point);
  sayOrder("after delete each ");
  sayInt("first of empty list is null: ", __krObjCompare(__krObjFirst(&point), 0));
  stats("end");
}
