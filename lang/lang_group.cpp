// The language support group: registration table, init and shutdown.
#include "lang/language_support.h"
#include "runtime/command_table.h"

namespace kr {

bool languageInit() {
  // A run starts from nothing: anything left by an earlier run goes first.
  destroyLiveStrings();
  freeAllLanguageBlocks();
  resetStringPool();
  resetObjectCounters();
  return true;
}

void languageShutdown() {
  destroyLiveStrings();
  freeAllLanguageBlocks();  // object records and array storage go with their blocks
  resetStringPool();
}

namespace {

const CommandEntry kLangEntries[] = {
    KR_ENTRY("_krStrLoad", strLoad),
    KR_ENTRY("_krStrRelease", strRelease),
    KR_ENTRY("_krStrStore", strStore),
    KR_ENTRY("_krStrCompare", strCompare),
    KR_ENTRY("_krStrConcat", strConcat),
    KR_ENTRY("_krStrToInt", strToInt),
    KR_ENTRY("_krStrFromInt", strFromInt),
    KR_ENTRY("_krStrToFloat", strToFloat),
    KR_ENTRY("_krStrFromFloat", strFromFloat),
    KR_ENTRY("_krStrConst", strConst),
    KR_ENTRY("_krDimArray", dimArray),
    KR_ENTRY("_krUndimArray", undimArray),
    KR_ENTRY("_krArrayBoundsEx", arrayBoundsEx),
    KR_ENTRY("_krObjNew", objNew),
    KR_ENTRY("_krObjDelete", objDelete),
    KR_ENTRY("_krObjDeleteEach", objDeleteEach),
    KR_ENTRY("_krObjRelease", objRelease),
    KR_ENTRY("_krObjStore", objStore),
    KR_ENTRY("_krObjCompare", objCompare),
    KR_ENTRY("_krObjNext", objNext),
    KR_ENTRY("_krObjPrev", objPrev),
    KR_ENTRY("_krObjFirst", objNext),  // the used-list head is shaped like an object
    KR_ENTRY("_krObjLast", objPrev),
    KR_ENTRY("_krObjInsBefore", objInsBefore),
    KR_ENTRY("_krObjInsAfter", objInsAfter),
    KR_ENTRY("_krObjEachFirst", objEachFirst),
    KR_ENTRY("_krObjEachNext", objEachNext),
    KR_ENTRY("_krObjToStr", objToStr),
    KR_ENTRY("_krNullObjEx", nullObjEx),
    KR_ENTRY("_krRestore", dataRestore),
    KR_ENTRY("_krReadInt", dataReadInt),
    KR_ENTRY("_krReadFloat", dataReadFloat),
    KR_ENTRY("_krReadStr", dataReadStr),
    KR_ENTRY("_krAbs", arithAbs),
    KR_ENTRY("_krSgn", arithSgn),
    KR_ENTRY("_krMod", arithMod),
    KR_ENTRY("_krFAbs", arithFAbs),
    KR_ENTRY("_krFSgn", arithFSgn),
    KR_ENTRY("_krFMod", arithFMod),
    KR_ENTRY("_krFPow", arithFPow),
    KR_ENTRY("RuntimeStats", runtimeStats),
};
static_assert(sizeof(kLangEntries) / sizeof(kLangEntries[0]) == 41, "40 support routines and RuntimeStats");

}  // namespace

extern const CommandGroup langGroup;
const CommandGroup langGroup = KR_GROUP("language support", kLangEntries, languageInit, languageShutdown);

}  // namespace kr
