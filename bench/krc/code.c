/* The generated-code benchmark in C (gcc -m32 -O1), with the same workloads
 * and runtime calls as code.kb. */
#include <korrin.h>

ObjType node = KR_OBJTYPE_INIT(node, 2, KR_TYPE_INT, KR_TYPE_FLOAT);
int cellData[1000];

static void report(const char* name, int ms, int result) {
  krString* s = __krStrConst(name);
  s = __krStrConcat(s, __krStrConst(" "));
  s = __krStrConcat(s, __krStrFromInt(ms));
  s = __krStrConcat(s, __krStrConst(" "));
  s = __krStrConcat(s, __krStrFromInt(result));
  _fdebuglog(s);
}

static int intLoop(int n) {
  int s = 0;
  for (int i = 1; i <= n; ++i) s = (s + (i ^ (i >> 3))) & 255;
  return s;
}

static float floatLoop(int n) {
  float x = 0;
  for (int i = 1; i <= n; ++i) x = x * 0.999f + 0.5f;
  return x;
}

static int arrayLoop(int passes) {
  int s = 0;
  for (int p = 1; p <= passes; ++p) {
    for (int i = 0; i <= 999; ++i) cellData[i] += i;
    s += cellData[p % 1000];
  }
  return s;
}

static int walkLoop(int passes) {
  static Obj* n;
  int s = 0;
  for (int p = 1; p <= passes; ++p)
    if (__krObjEachFirst(&n, &node)) do s += n->fields[0];
      while (__krObjEachNext(&n));
  return s;
}

static int stringLoop(int passes) {
  static krString* s;
  int total = 0;
  for (int p = 1; p <= passes; ++p) {
    __krStrStore(&s, __krStrConst(""));
    for (int i = 1; i <= 100; ++i) __krStrStore(&s, __krStrConcat(__krStrLoad(&s), __krStrFromInt(i)));
    total += _flen(__krStrLoad(&s));
  }
  return total;
}

void __MAIN(void) {
  for (int i = 1; i <= 1000; ++i) __krObjNew(&node)->fields[0] = i;
  int t = _fmillisecs(), r = intLoop(100000000);
  report("int", _fmillisecs() - t, r);
  t = _fmillisecs();
  float f = floatLoop(20000000);
  report("float", _fmillisecs() - t, (int)(f + 0.5f));
  t = _fmillisecs(), r = arrayLoop(50000);
  report("array", _fmillisecs() - t, r);
  t = _fmillisecs(), r = walkLoop(50000);
  report("objects", _fmillisecs() - t, r);
  t = _fmillisecs(), r = stringLoop(20000);
  report("strings", _fmillisecs() - t, r);
}
