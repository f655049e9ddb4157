// The string pool and the string routines, called directly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/language_support.h"
#include "runtime/errors.h"

namespace {

using namespace kr;

class Strings : public ::testing::Test {
 protected:
  void SetUp() override { languageInit(); }
  void TearDown() override { languageShutdown(); }
  static krString* make(const std::string& text) { return krStringNew(text); }
  static std::string text(const krString* s) { return std::string(krStringData(s), krStringLength(s)); }
};

TEST_F(Strings, PoolGrowsInBlocksOf512AndEmptiesCompletely) {
  std::vector<krString*> held;
  for (int i = 0; i < 512; ++i) held.push_back(strConst("x"));
  EXPECT_EQ(languageBlockCount(), 1u);
  held.push_back(strConst("x"));
  EXPECT_EQ(languageBlockCount(), 2u);
  EXPECT_EQ(liveStringCount(), 513);
  for (krString* s : held) strRelease(s);
  EXPECT_EQ(liveStringCount(), 0);
  int listed = 0;
  forEachLiveString([](const krString*, void* n) { ++*static_cast<int*>(n); }, &listed);
  EXPECT_EQ(listed, 0);
}

TEST_F(Strings, RecordsAreReusedOldestFreedFirst) {
  std::vector<krString*> held;
  for (int i = 0; i < 512; ++i) held.push_back(strFromInt(i));  // the free list is now empty
  strRelease(held[5]);
  strRelease(held[2]);
  strRelease(held[9]);
  EXPECT_EQ(strConst("a"), held[5]);
  EXPECT_EQ(strConst("b"), held[2]);
  EXPECT_EQ(strConst("c"), held[9]);
  EXPECT_EQ(languageBlockCount(), 1u);
}

TEST_F(Strings, LoadStoreAndReleaseKeepTheLiveCount) {
  krString* var = nullptr;
  krString* loaded = strLoad(&var);
  EXPECT_EQ(krStringLength(loaded), 0u);
  EXPECT_EQ(liveStringCount(), 1);
  strStore(&var, loaded);
  strStore(&var, strConst("second"));
  EXPECT_EQ(liveStringCount(), 1);
  krString* copy = strLoad(&var);
  EXPECT_NE(copy, var);
  krStringAssign(copy, "changed", 7);
  EXPECT_EQ(text(var), "second");  // copies are independent values
  strRelease(copy);
  strRelease(nullptr);
  strStore(&var, nullptr);
  EXPECT_EQ(liveStringCount(), 0);
}

TEST_F(Strings, CompareIsBytewiseUnsignedAndReleasesBoth) {
  EXPECT_EQ(strCompare(make("abc"), make("abd")), -1);
  EXPECT_EQ(strCompare(make("abc"), make("ab")), 1);
  EXPECT_EQ(strCompare(make("ab"), make("abc")), -1);
  EXPECT_EQ(strCompare(make(""), make("")), 0);
  EXPECT_EQ(strCompare(make("\xC8"), make("\x64")), 1);
  EXPECT_EQ(strCompare(make("a"), make("A")), 1);
  EXPECT_EQ(strCompare(make(std::string("a\0b", 3)), make(std::string("a\0c", 3))), -1);
  EXPECT_EQ(liveStringCount(), 0);
}

TEST_F(Strings, ConcatExtendsItsLeftOperand) {
  krString* a = make("");
  krString* result = strConcat(a, make(""));
  EXPECT_EQ(result, a);
  EXPECT_EQ(krStringLength(result), 0u);
  EXPECT_EQ(liveStringCount(), 1);
  std::string expected;
  for (int i = 0; i < 2000; ++i) {  // through the inline, pooled and heap buffers
    std::string piece = std::to_string(i) + ",";
    expected += piece;
    result = strConcat(result, make(piece));
    ASSERT_EQ(result, a);
  }
  EXPECT_EQ(text(result), expected);
  result = strConcat(make(""), result);  // an empty left operand takes the text over
  EXPECT_EQ(text(result), expected);
  EXPECT_EQ(liveStringCount(), 1);
  strRelease(result);
}

TEST_F(Strings, AppendingItsOwnTextSurvivesGrowth) {
  krString* s = make("0123456789");
  for (int i = 0; i < 8; ++i) krStringAppend(s, krStringData(s), krStringLength(s));
  EXPECT_EQ(krStringLength(s), 2560u);
  EXPECT_EQ(text(s).substr(2550), "0123456789");
  krStringAssign(s, krStringData(s) + 5, 3);  // a part of itself
  EXPECT_EQ(text(s), "567");
  char* bytes = krStringResize(s, 600);
  EXPECT_EQ(std::string(bytes, 3), "567");
  EXPECT_EQ(bytes[600], 0);
  krStringResize(s, 2);
  EXPECT_EQ(text(s), "56");
  strRelease(s);
}

TEST_F(Strings, NumbersToAndFromText) {
  EXPECT_EQ(strToInt(make("  -42xyz")), -42);
  EXPECT_EQ(strToInt(make("abc")), 0);
  EXPECT_EQ(strToInt(make("")), 0);
  EXPECT_EQ(strToFloat(make("1e3")), 1000.0f);
  EXPECT_EQ(strToFloat(make("-2.5abc")), -2.5f);
  EXPECT_EQ(strToFloat(make("x")), 0.0f);
  krString* n = strFromInt(-2147483647 - 1);
  EXPECT_EQ(text(n), "-2147483648");
  strRelease(n);
  krString* f = strFromFloat(1.5f);
  EXPECT_EQ(text(f), "1.500000");
  strRelease(f);
  EXPECT_EQ(liveStringCount(), 0);
}

TEST_F(Strings, HugeLengthsRaiseOutOfMemory) {
  krString* s = make("abc");
  try {
    krStringResize(s, 0x80000000u);
    FAIL() << "no error";
  } catch (const krEx& e) {
    EXPECT_STREQ(e.message, "Out of memory");
  }
  EXPECT_EQ(text(s), "abc");  // the string is left as it was
  strRelease(s);
}

TEST_F(Strings, ShutdownDestroysLiveStringsAndFreesEveryBlock) {
  for (int i = 0; i < 600; ++i) strConst("a string longer than the record's own text");
  krString* big = make(std::string(100000, 'z'));
  (void)big;
  EXPECT_GT(languageBlockCount(), 2u);
  languageShutdown();
  EXPECT_EQ(liveStringCount(), 0);
  EXPECT_EQ(languageBlockCount(), 0u);
  krString* again = strConst("usable after a new start");
  EXPECT_EQ(text(again), "usable after a new start");
}

}  // namespace
