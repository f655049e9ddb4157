// _krObjNew, _krObjDelete and the release of the last reference, beside a plain
// new/delete of a record of the same size.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "bench/bench_lang_common.h"
#include "lang/language_support.h"

namespace {

constexpr int kFields = 4;
constexpr int kLive = 1000;  // objects alive at once, as in a game's list
constexpr int kRounds = 5000;

struct PlainRecord {
  int words[5 + kFields];
};

struct TypeRecord {
  alignas(ObjType) int words[11 + kFields] = {};
  ObjType* type = reinterpret_cast<ObjType*>(words);
  TypeRecord() {
    type->used = {nullptr, &type->used, &type->used, nullptr, -1};
    type->free = {nullptr, &type->free, &type->free, nullptr, -1};
    type->fieldCount = kFields;
    for (int i = 0; i < kFields; ++i) type->fieldType[i] = KR_TYPE_INT;
  }
};

Obj* gObjects[kLive];
PlainRecord* volatile gPlain[kLive];

double objectsPerSecond(ObjType* type) {
  auto start = benchlang::Clock::now();
  for (int round = 0; round < kRounds; ++round) {
    for (Obj*& slot : gObjects) {
      kr::objDelete(slot);
      kr::objStore(&slot, nullptr);
      kr::objStore(&slot, kr::objNew(type));
    }
  }
  return double(kRounds) * kLive / benchlang::secondsSince(start);
}

double plainPerSecond() {
  auto start = benchlang::Clock::now();
  for (int round = 0; round < kRounds; ++round) {
    for (int i = 0; i < kLive; ++i) {
      delete gPlain[i];
      gPlain[i] = new PlainRecord();
    }
  }
  return double(kRounds) * kLive / benchlang::secondsSince(start);
}

}  // namespace

int main() {
  kr::languageInit();
  TypeRecord t;
  // Alternating runs, the best of each: the machine is shared. The first run
  // of each grows the pools and warms the allocator.
  double pooled = 0, plain = 0;
  for (int i = 0; i < 8; ++i) {
    pooled = std::max(pooled, objectsPerSecond(t.type));
    plain = std::max(plain, plainPerSecond());
  }
  std::printf("object of %d fields:  _krObjNew+_krObjDelete+release %.1f M/s   new+delete %.1f M/s\n", kFields,
              pooled / 1e6, plain / 1e6);
  for (PlainRecord* p : gPlain) delete p;
  kr::languageShutdown();
  krbench::Targets targets;
  targets.atLeast("object create+delete speed / new+delete", pooled / plain, 1.0);
  return targets.exitCode();
}
