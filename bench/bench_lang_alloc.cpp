// After warm-up, string temporaries up to 256 bytes, concatenation, variable
// stores and object creation and deletion make no heap allocation at all.
#include <cstdio>
#include <string>

#include "bench/bench_lang_common.h"
#include "lang/language_support.h"

namespace {

using namespace kr;
using benchlang::gAllocations;

struct Type3 {
  alignas(ObjType) int words[11 + 3] = {};
  ObjType* type = reinterpret_cast<ObjType*>(words);
  Type3() {
    type->used = {nullptr, &type->used, &type->used, nullptr, -1};
    type->free = {nullptr, &type->free, &type->free, nullptr, -1};
    type->fieldCount = 3;
    type->fieldType[0] = KR_TYPE_INT;
    type->fieldType[1] = KR_TYPE_STRING;
    type->fieldType[2] = KR_TYPE_OBJECT;
  }
};

std::string gText(256, 'k');
krString* gVariable = nullptr;
Obj* gRing[1000] = {};
volatile int gSink;

// Temporaries of every length from 0 to 256, made, compared and dropped.
long stringTemporaries() {
  long operations = 0;
  for (std::size_t length = 0; length <= 256; ++length) {
    krString* a = krStringNew(gText.data(), length);
    krString* b = strLoad(&gVariable);
    gSink = strCompare(a, b);
    strRelease(strFromInt(static_cast<int>(length)));
    strRelease(strFromFloat(static_cast<float>(length) / 7.0f));
    operations += 5;
  }
  return operations;
}

// Strings grown to 256 bytes by concatenation, stored and replaced.
long concatenation() {
  long operations = 0;
  krString* s = strConst("");
  while (krStringLength(s) < 256) {
    s = strConcat(s, strConst("pieces of "));
    ++operations;
  }
  strStore(&gVariable, s);
  strStore(&gVariable, strConcat(strLoad(&gVariable), strConst("!")));
  strStore(&gVariable, strConst("short"));
  return operations + 3;
}

// A ring of live objects: each step deletes the oldest and makes a new one.
long objects(ObjType* type) {
  long operations = 0;
  for (Obj*& slot : gRing) {
    objDelete(slot);
    objStore(&slot, nullptr);
    Obj* o = objNew(type);
    strStore(reinterpret_cast<krString**>(&o->fields[1]), strConst("a name of some length"));
    objStore(&slot, o);
    operations += 4;
  }
  return operations;
}

template <typename F>
void measure(const char* what, F step) {
  const unsigned long first = gAllocations;
  for (int i = 0; i < 20; ++i) step();  // warm-up: the pools grow here
  const unsigned long before = gAllocations;
  long operations = 0;
  auto start = benchlang::Clock::now();
  for (int i = 0; i < 2000; ++i) operations += step();
  double seconds = benchlang::secondsSince(start);
  std::printf("%-32s warm-up allocations %4lu | then %10ld operations %6.1f Mops/s, heap allocations %lu\n",
              what, before - first, operations, operations / seconds / 1e6, gAllocations - before);
}

}  // namespace

int main() {
  languageInit();
  Type3 type;
  measure("string temporaries 0..256 bytes", stringTemporaries);
  measure("concatenation up to 256 bytes", concatenation);
  measure("objects created and deleted", [&] { return objects(type.type); });
  languageShutdown();
  return 0;
}
