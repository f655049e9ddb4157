#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

#include "lang/kr_string.h"
#include "library/string_commands.h"
#include "runtime/command_table.h"
#include "runtime/errors.h"

namespace {

krString* S(const std::string& text) { return kr::krStringNew(text); }
std::string T(krString* s) { return kr::krStringTake(s); }

// The message of the runtime error a call raises, or "" when it raises none.
template <typename Call>
std::string errorOf(Call call) {
  try {
    call();
  } catch (const krEx& e) {
    return e.message ? e.message : "(end)";
  }
  return "";
}

TEST(StringCommands, CuttingAtAndPastEveryBoundary) {
  EXPECT_EQ(T(kr::strLeft(S("hello"), 0)), "");
  EXPECT_EQ(T(kr::strLeft(S("hello"), 4)), "hell");
  EXPECT_EQ(T(kr::strLeft(S("hello"), INT_MAX)), "hello");
  EXPECT_EQ(T(kr::strRight(S("hello"), 4)), "ello");
  EXPECT_EQ(T(kr::strRight(S("hello"), INT_MAX)), "hello");
  EXPECT_EQ(T(kr::strMid(S("hello"), 2, 3)), "ell");
  EXPECT_EQ(T(kr::strMid(S("hello"), 4, INT_MAX)), "lo");
  EXPECT_EQ(T(kr::strMid(S("hello"), 3, -7)), "llo");
  EXPECT_EQ(T(kr::strMid(S("hello"), 6, -1)), "");
  EXPECT_EQ(T(kr::strMid(S("hello"), INT_MAX, INT_MAX)), "");
  EXPECT_EQ(T(kr::strLSet(S("abcdef"), 3)), "abc");
  EXPECT_EQ(T(kr::strLSet(S("ab"), 4)), "ab  ");
  EXPECT_EQ(T(kr::strRSet(S("abc"), 5)), "  abc");
  EXPECT_EQ(T(kr::strRSet(S("abcdef"), 2)), "ef");
  EXPECT_EQ(T(kr::strLSet(nullptr, 2)), "  ");
  EXPECT_EQ(T(kr::strRight(S(""), 0)), "");
}

TEST(StringCommands, BadPositionsRaiseBeforeTheTextChanges) {
  krString* s = S("abc");
  krString* find = S("b");
  for (auto cut : {kr::strLeft, kr::strRight, kr::strLSet, kr::strRSet})
    EXPECT_EQ(errorOf([&] { cut(s, -1); }), "parameter must be positive");
  EXPECT_EQ(errorOf([&] { kr::strMid(s, 0, 1); }), "parameter must be greater than 0");
  EXPECT_EQ(errorOf([&] { kr::strInstr(s, find, INT_MIN); }), "parameter must be greater than 0");
  EXPECT_EQ(T(find), "b");
  EXPECT_EQ(T(s), "abc");
}

TEST(StringCommands, ResultsReuseTheArgumentRecord) {
  krString* original = S("  Some Text  ");
  krString* s = kr::strUpper(kr::strTrim(original));
  s = kr::strMid(kr::strReplace(kr::strLower(s), S("e"), S("E")), 2, 6);
  s = kr::strRight(kr::strLeft(kr::strRSet(kr::strLSet(s, 9), 12), 11), 10);
  s = kr::strRepeat(s, 2);
  EXPECT_EQ(s, original);
  EXPECT_EQ(T(s), "  omE tE    omE tE  ");
}

TEST(StringCommands, Search) {
  EXPECT_EQ(kr::strInstr(S("hello"), S("l"), 4), 4);
  EXPECT_EQ(kr::strInstr(S("hello"), S("l"), 5), 0);
  EXPECT_EQ(kr::strInstr(S("hello"), S("hello!"), 1), 0);
  EXPECT_EQ(kr::strInstr(S("hello"), S(""), 6), 6);
  EXPECT_EQ(kr::strInstr(S("hello"), S(""), 7), 0);
  EXPECT_EQ(kr::strInstr(S("hello"), S("o"), INT_MAX), 0);
  EXPECT_EQ(kr::strInstr(S(std::string("a\0b", 3)), S("b"), 1), 3);
}

TEST(StringCommands, CaseAndTrimTouchOnlyWhatTheyShould) {
  EXPECT_EQ(T(kr::strUpper(S("abc XYZ\xC8\xE9z@[`{"))), "ABC XYZ\xC8\xE9Z@[`{");
  EXPECT_EQ(T(kr::strLower(S("ABC xyz\xC8\xE9Z@[`{"))), "abc xyz\xC8\xE9z@[`{");
  EXPECT_EQ(T(kr::strTrim(S("     "))), "");
  EXPECT_EQ(T(kr::strTrim(S(" \t a  b \r\n"))), "a  b");
  EXPECT_EQ(T(kr::strTrim(S(std::string("\x7F\xFF!~\0\x80", 6)))), "!~");
}

TEST(StringCommands, ReplaceEndsEvenWhereSearchingAgainNeverWould) {
  EXPECT_EQ(T(kr::strReplace(S("aab"), S("ab"), S("b"))), "b");
  EXPECT_EQ(T(kr::strReplace(S("aaaaaaaaaab"), S("ab"), S("baa"))), "b" + std::string(20, 'a'));
  EXPECT_EQ(T(kr::strReplace(S("hello"), S(""), S("x"))), "hello");
  EXPECT_EQ(T(kr::strReplace(S("aaaa"), S("aa"), S("aaa"))), "aaaaaa");
  EXPECT_EQ(T(kr::strReplace(S("xx"), S("x"), S("<x>"))), "<x><x>");
}

// The specified loop: replace the first occurrence, search again from the start.
std::string replaceFromStart(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
  return text;
}

TEST(StringCommands, ReplaceAgreesWithTheRestartingLoop) {
  std::mt19937 random(7);
  auto word = [&](int maxLength) {
    std::string w(random() % (maxLength + 1), 'a');
    for (char& c : w) c = static_cast<char>('a' + random() % 3);
    return w;
  };
  for (int compared = 0; compared < 3000;) {
    std::string text = word(12), from = word(3), to = word(4);
    if (from.empty() || to.size() > from.size() + 1 || to.find(from) != std::string::npos) continue;
    ASSERT_EQ(T(kr::strReplace(S(text), S(from), S(to))), replaceFromStart(text, from, to))
        << text << " / " << from << " / " << to;
    ++compared;
  }
}

TEST(StringCommands, RepeatBuildsEveryCountAndRefusesTooMuch) {
  std::string expected;
  for (int n = 0; n <= 40; expected += "abc", ++n) ASSERT_EQ(T(kr::strRepeat(S("abc"), n)), expected) << n;
  EXPECT_EQ(T(kr::strRepeat(S("abc"), -5)), "");
  EXPECT_EQ(T(kr::strRepeat(S(""), INT_MAX)), "");
  EXPECT_EQ(errorOf([] { kr::strRepeat(S("abc"), 1000000000); }), "Out of memory");
  EXPECT_EQ(errorOf([] { kr::strRepeat(S("ab"), 1 << 30); }), "Out of memory");
}

TEST(StringCommands, NumbersAndBytes) {
  for (long long i = INT_MIN; i <= INT_MAX; i += 11117777) {
    std::string one = T(kr::strChr(static_cast<int>(i)));
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(static_cast<unsigned char>(one[0]), static_cast<unsigned>(i) & 0xFF);
  }
  EXPECT_EQ(kr::strAsc(kr::strChr(-56)), 200);
  EXPECT_EQ(kr::strAsc(S("")), -1);
  EXPECT_EQ(T(kr::strHex(255)), "000000FF");
  EXPECT_EQ(T(kr::strHex(INT_MIN)), "80000000");
  EXPECT_EQ(T(kr::strBin(5)), std::string(29, '0') + "101");
  EXPECT_EQ(T(kr::strBin(-1)), std::string(32, '1'));
}

}  // namespace
