// What the language support group registers for the linker.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/command_table.h"

namespace {

std::vector<std::pair<std::string, int>> gRegistered;

void record(const char* name, int address) { gRegistered.emplace_back(name, address); }

TEST(LangRegistration, FortyOneEntriesInLinkOrderWithSharedWalks) {
  std::size_t count;
  const kr::CommandGroup& lang = *kr::commandGroups(&count)[0];
  gRegistered.clear();
  kr::linkGroup(lang, record);
  const std::vector<std::string> expected = {
      "_krStrLoad",     "_krStrRelease",  "_krStrStore",     "_krStrCompare",    "_krStrConcat",
      "_krStrToInt",    "_krStrFromInt",  "_krStrToFloat",   "_krStrFromFloat",  "_krStrConst",
      "_krDimArray",    "_krUndimArray",  "_krArrayBoundsEx", "_krObjNew",       "_krObjDelete",
      "_krObjDeleteEach", "_krObjRelease", "_krObjStore",     "_krObjCompare",    "_krObjNext",
      "_krObjPrev",     "_krObjFirst",    "_krObjLast",      "_krObjInsBefore",  "_krObjInsAfter",
      "_krObjEachFirst", "_krObjEachNext", "_krObjToStr",     "_krNullObjEx",     "_krRestore",
      "_krReadInt",     "_krReadFloat",   "_krReadStr",      "_krAbs",           "_krSgn",
      "_krMod",         "_krFAbs",        "_krFSgn",         "_krFMod",          "_krFPow",
      "RuntimeStats"};
  ASSERT_EQ(gRegistered.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(gRegistered[i].first, expected[i]);
  EXPECT_EQ(gRegistered[21].second, gRegistered[19].second);  // _krObjFirst is _krObjNext
  EXPECT_EQ(gRegistered[22].second, gRegistered[20].second);  // _krObjLast is _krObjPrev
  EXPECT_NE(gRegistered[19].second, gRegistered[20].second);
  EXPECT_EQ(kr::linkName("RuntimeStats"), "_fruntimestats");
  EXPECT_TRUE(kr::isValidSignature("RuntimeStats"));
  ASSERT_NE(lang.init, nullptr);
  ASSERT_NE(lang.shutdown, nullptr);
}

}  // namespace
