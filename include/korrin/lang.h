/* Language support: strings, arrays, user-defined types and object lists, data
 * statements, arithmetic helpers and RuntimeStats. Included by korrin.h; the
 * runtime includes it too, for the records that compiled code lays out.
 *
 * Records laid out by compiled code in the module's data:
 *
 *   ArrayDesc   one per array: element storage, element type, dimension count
 *               and one size word per dimension (upper bounds before
 *               __krDimArray, cumulative element counts after it).
 *   ObjType     one per user-defined type: the used-list head, the free-list
 *               head, the field count and one type code per field. Lay it out
 *               with KR_OBJTYPE_INIT so both heads start linked to themselves.
 *   DataRecord  the data table at __DATA: (tag, value) pairs closed by a single
 *               word 0.
 */
#ifndef KORRIN_LANG_H
#define KORRIN_LANG_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct krString krString;

/* Element and field type codes. */
#define KR_TYPE_INT 1
#define KR_TYPE_FLOAT 2
#define KR_TYPE_STRING 3
#define KR_TYPE_OBJECT 4

/* Data table tags. */
#define KR_DATA_END 0
#define KR_DATA_INT 1
#define KR_DATA_FLOAT 2
#define KR_DATA_STRING 5

typedef struct ArrayDesc {
  void* data;      /* element storage, null while not dimensioned */
  int elementType; /* KR_TYPE_... */
  int dimCount;    /* at least 1 */
  int size[];      /* dimCount words */
} ArrayDesc;

typedef struct ObjType ObjType;

/* An object record; list heads have the same first five words. The field words
 * follow at offset 20. */
typedef struct Obj {
  int* fields;   /* the first field while the object exists, null once deleted */
  struct Obj* next;
  struct Obj* prev;
  ObjType* type; /* null only in list heads */
  int refCount;  /* -1 in list heads */
} Obj;

struct ObjType {
  Obj used;        /* offset 0 */
  Obj free;        /* offset 20 */
  int fieldCount;  /* offset 40 */
  int fieldType[]; /* offset 44, fieldCount codes */
};

/* Static initialiser of an ObjType variable VAR, e.g.
 *   ObjType point = KR_OBJTYPE_INIT(point, 2, KR_TYPE_INT, KR_TYPE_INT); */
#define KR_OBJTYPE_INIT(var, count, ...) \
  { {0, &(var).used, &(var).used, 0, -1}, {0, &(var).free, &(var).free, 0, -1}, count, {__VA_ARGS__} }

typedef struct DataRecord {
  int tag; /* KR_DATA_... */
  union {
    int i;
    float f;
    const char* s;
  } value;
} DataRecord;

/* ---- strings ---- */
krString* __krStrLoad(krString** var);
void __krStrRelease(krString* s);
void __krStrStore(krString** var, krString* s);
int __krStrCompare(krString* a, krString* b);
krString* __krStrConcat(krString* a, krString* b);
int __krStrToInt(krString* s);
krString* __krStrFromInt(int n);
float __krStrToFloat(krString* s);
krString* __krStrFromFloat(float f);
krString* __krStrConst(const char* text);

/* ---- arrays ---- */
void __krDimArray(ArrayDesc* array);
void __krUndimArray(ArrayDesc* array);
void __krArrayBoundsEx(void);

/* ---- objects ---- */
Obj* __krObjNew(ObjType* type);
void __krObjDelete(Obj* o);
void __krObjDeleteEach(ObjType* type);
void __krObjRelease(Obj* o);
void __krObjStore(Obj** var, Obj* o);
int __krObjCompare(Obj* a, Obj* b);
Obj* __krObjNext(Obj* o);
Obj* __krObjPrev(Obj* o);
Obj* __krObjFirst(ObjType* type);
Obj* __krObjLast(ObjType* type);
Obj* __krObjInsBefore(Obj* a, Obj* b);
Obj* __krObjInsAfter(Obj* a, Obj* b);
int __krObjEachFirst(Obj** var, ObjType* type);
int __krObjEachNext(Obj** var);
krString* __krObjToStr(Obj* o);
void __krNullObjEx(void);

/* ---- data statements ---- */
void __krRestore(DataRecord* entry);
int __krReadInt(void);
float __krReadFloat(void);
krString* __krReadStr(void);

/* ---- arithmetic ---- */
int __krAbs(int a);
int __krSgn(int a);
int __krMod(int a, int b);
float __krFAbs(float a);
float __krFSgn(float a);
float __krFMod(float a, float b);
float __krFPow(float a, float b);

/* ---- commands ---- */
void _fruntimestats(void);

#ifdef __cplusplus
}
#endif

#endif
