// The registered table: names follow the grammar, link names are unique.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "runtime/command_table.h"

namespace {

std::vector<std::pair<std::string, int>> gEntries;
void collect(const char* name, int address) { gEntries.push_back({name, address}); }

std::vector<std::pair<std::string, int>> allEntries() {
  gEntries.clear();
  kr::linkAll(collect);
  return gEntries;
}

}  // namespace

TEST(CommandTable, EverySignatureParsesAndEverySupportNameIsPrefixed) {
  for (const auto& e : allEntries()) {
    if (e.first[0] == '_')
      EXPECT_EQ(e.first.compare(0, 3, "_kr"), 0) << e.first;
    else
      EXPECT_TRUE(kr::isValidSignature(e.first.c_str())) << e.first;
    EXPECT_NE(e.second, 0) << e.first;
  }
}

TEST(CommandTable, LinkNamesAreUniqueAndSharedFunctionsAreTheDocumentedPairs) {
  std::map<std::string, std::string> byLink;
  std::map<int, std::vector<std::string>> byAddress;
  for (const auto& e : allEntries()) {
    auto inserted = byLink.insert({kr::linkName(e.first.c_str()), e.first});
    EXPECT_TRUE(inserted.second) << e.first << " and " << inserted.first->second << " share a link name";
    byAddress[e.second].push_back(e.first);
  }
  const std::set<std::set<std::string>> documented = {{"_krObjFirst", "_krObjNext"},
                                                      {"_krObjLast", "_krObjPrev"},
                                                      {"%WaitMouse", "%MouseWait"},
                                                      {"%WaitJoy%port=0", "%JoyWait%port=0"}};
  for (const auto& a : byAddress) {
    if (a.second.size() < 2) continue;
    std::set<std::string> names(a.second.begin(), a.second.end());
    EXPECT_TRUE(documented.count(names)) << "unexpected shared function: " << a.second[0] << ", " << a.second[1];
  }
}

TEST(CommandTable, EnumeratesTheSameTableEveryTime) { EXPECT_EQ(allEntries(), allEntries()); }

TEST(CommandTable, LinkNames) {
  EXPECT_EQ(kr::linkName("_krStrLoad"), "__krStrLoad");
  EXPECT_EQ(kr::linkName("%LoadAnimImage$bmpfile%cellwidth%cellheight%first%count"), "_floadanimimage");
  EXPECT_EQ(kr::linkName("Graphics%width%height%depth=0%mode=0"), "_fgraphics");
  EXPECT_EQ(kr::linkName("End"), "_fend");
  EXPECT_EQ(kr::linkName("%MilliSecs"), "_fmillisecs");
  EXPECT_EQ(kr::linkName("$Mid$string%start%count=-1"), "_fmid");
  EXPECT_EQ(kr::linkName("#Rnd#from#to=0"), "_frnd");
}

TEST(CommandTable, SignatureGrammar) {
  for (const char* good : {"End", "%MilliSecs", "Print$string=\"\"", "#Rnd#from#to=0",
                           "%SendNetMsg%type$msg%from_player%to_player=0%reliable=1",
                           "%LoadFont$fontname%height=12%bold=0%italic=0%underline=0", "$Mid$string%start%count=-1"})
    EXPECT_TRUE(kr::isValidSignature(good)) << good;
  for (const char* bad : {"", "%", "Delay %ms", "Delay%", "Delay%Ms", "Mid$s=1", "F%a=1%b", "F%a=", "F%a=x",
                          "F&a", "1Abc", "F$s=\"x\""})
    EXPECT_FALSE(kr::isValidSignature(bad)) << bad;
}

// The registration macro refuses a signature whose types do not match the
// function; these are the cases it must tell apart at compile time.
namespace {
int intOfIntFloat(int, float) { return 0; }
float floatResult() { return 0; }
krString* stringOfString(krString* s) { return s; }
void nothingOfInt(int) {}
unsigned unsignedResult() { return 0; }
double doubleResult() { return 0; }
void nothingOfDouble(double) {}
}  // namespace

TEST(CommandTable, SignatureCheckMatchesParameterAndResultTypes) {
  static_assert(kr::signatureMatches("%Sum%a#b", &intOfIntFloat));
  static_assert(kr::signatureMatches("%Sum%a=0#b=-1", &intOfIntFloat));
  static_assert(kr::signatureMatches("#Value", &floatResult));
  static_assert(kr::signatureMatches("$Echo$text=\"\"", &stringOfString));
  static_assert(kr::signatureMatches("Wait%ms", &nothingOfInt));
  static_assert(kr::signatureMatches("_krAnything", &doubleResult));  // support routines carry no types

  static_assert(!kr::signatureMatches("%Sum%a%b", &intOfIntFloat));   // '#' parameter registered as '%'
  static_assert(!kr::signatureMatches("Sum%a#b", &intOfIntFloat));    // result dropped
  static_assert(!kr::signatureMatches("%Sum%a", &intOfIntFloat));     // a parameter missing
  static_assert(!kr::signatureMatches("%Sum%a#b%c", &intOfIntFloat)); // one too many
  static_assert(!kr::signatureMatches("%Value", &floatResult));       // x87 result read as eax
  static_assert(!kr::signatureMatches("Echo$text", &stringOfString));
  static_assert(!kr::signatureMatches("%Value", &unsignedResult));    // only the three types exist
  static_assert(!kr::signatureMatches("#Value", &doubleResult));
  static_assert(!kr::signatureMatches("Wait#ms", &nothingOfDouble));  // an 8-byte argument
  SUCCEED();
}
