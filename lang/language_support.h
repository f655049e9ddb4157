// The routines compiled code calls for strings, arrays, objects, data statements
// and arithmetic, and the pooled memory under them. The group table registers
// these functions; runtime code and unit tests call them directly.
#pragma once
#include <cstddef>

#include "korrin/lang.h"
#include "lang/kr_string.h"

namespace kr {

// ---- memory: the language-support block registry ----
// Every block of string records, object records, array storage and short text
// buffers. Blocks are freed at shutdown (or, for arrays, when undimensioned).
void* allocateLanguageBlock(std::size_t bytes);  // zero-filled; "Out of memory" on failure
void freeLanguageBlock(void* block);             // a block not in the registry: nothing
std::size_t languageBlockCount();
void freeAllLanguageBlocks();  // shutdown only: the pools forget their blocks first

// ---- counters ----
int liveStringCount();
int activeObjectCount();
int unreleasedObjectCount();

// ---- start-up and shutdown of the group ----
bool languageInit();
void languageShutdown();

// The string pool's part of start-up and shutdown.
void resetStringPool();    // both lists empty, counter 0 (blocks already gone)
void destroyLiveStrings();  // every live record back to the free list
// Calls f for every live string record, first to last.
void forEachLiveString(void (*f)(const krString* s, void* context), void* context);

// ---- strings ----
krString* strLoad(krString** var);
void strRelease(krString* s);
void strStore(krString** var, krString* s);
int strCompare(krString* a, krString* b);
krString* strConcat(krString* a, krString* b);
int strToInt(krString* s);
krString* strFromInt(int n);
float strToFloat(krString* s);
krString* strFromFloat(float f);
krString* strConst(const char* text);

// ---- arrays ----
void dimArray(ArrayDesc* array);
void undimArray(ArrayDesc* array);
[[noreturn]] void arrayBoundsEx();

// ---- objects ----
Obj* objNew(ObjType* type);
void objDelete(Obj* o);
void objDeleteEach(ObjType* type);
void objRelease(Obj* o);
void objStore(Obj** var, Obj* o);
int objCompare(Obj* a, Obj* b);
Obj* objNext(Obj* o);
Obj* objPrev(Obj* o);
Obj* objInsBefore(Obj* a, Obj* b);
Obj* objInsAfter(Obj* a, Obj* b);
int objEachFirst(Obj** var, ObjType* type);
int objEachNext(Obj** var);
krString* objToStr(Obj* o);
[[noreturn]] void nullObjEx();
void resetObjectCounters();

// ---- data statements ----
void dataRestore(DataRecord* entry);
int dataReadInt();
float dataReadFloat();
krString* dataReadStr();

// ---- arithmetic ----
int arithAbs(int a);
int arithSgn(int a);
int arithMod(int a, int b);
float arithFAbs(float a);
float arithFSgn(float a);
float arithFMod(float a, float b);
float arithFPow(float a, float b);

// ---- the RuntimeStats command ----
void runtimeStats();

}  // namespace kr
