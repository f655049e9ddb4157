// The scancode table: every key of a PC keyboard has its set-1 number, and the
// number leads back to a scancode that gives it.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <map>
#include <vector>

#include "input/key_codes.h"

using namespace kr::input;

namespace {

TEST(KeyCodes, EveryKeyOfAPcKeyboardHasItsNumber) {
  std::vector<int> codes;
  for (int c = 1; c <= 83; ++c) codes.push_back(c);  // the main block, F1 to F10 and the keypad
  for (int c : {86, 87, 88, 156, 157, 181, 183, 184, 197, 199, 200, 201, 203, 205, 207, 208, 209, 210, 211,
                219, 220, 221})
    codes.push_back(c);
  for (int code : codes) {
    auto s = static_cast<SDL_Scancode>(scancodeOf(code));
    ASSERT_NE(s, SDL_SCANCODE_UNKNOWN) << "no key gives " << code;
    EXPECT_EQ(keyCodeOf(s), code) << SDL_GetScancodeName(s);
  }
}

TEST(KeyCodes, NumbersAreUniqueExceptForAliasesOfOneKey) {
  // Two scancodes may share a number only when SDL names one physical key twice.
  const std::pair<SDL_Scancode, SDL_Scancode> aliases[] = {
      {SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH}, {SDL_SCANCODE_MUTE, SDL_SCANCODE_AUDIOMUTE},
      {SDL_SCANCODE_WWW, SDL_SCANCODE_AC_HOME},         {SDL_SCANCODE_PRINTSCREEN, SDL_SCANCODE_SYSREQ},
      {SDL_SCANCODE_APPLICATION, SDL_SCANCODE_MENU},    {SDL_SCANCODE_AC_STOP, SDL_SCANCODE_STOP},
  };
  std::map<int, SDL_Scancode> first;
  for (int s = 1; s < SDL_NUM_SCANCODES; ++s) {
    int code = keyCodeOf(static_cast<SDL_Scancode>(s));
    if (!code) continue;
    EXPECT_GT(code, 0);
    EXPECT_LT(code, 256);
    auto [it, inserted] = first.insert({code, static_cast<SDL_Scancode>(s)});
    if (inserted) continue;
    bool alias = false;
    for (auto& a : aliases)
      alias |= (a.first == it->second && a.second == s) || (a.second == it->second && a.first == s);
    EXPECT_TRUE(alias) << SDL_GetScancodeName(it->second) << " and " << SDL_GetScancodeName(static_cast<SDL_Scancode>(s))
                       << " share " << code;
  }
  EXPECT_EQ(keyCodeOf(SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(keyCodeOf(-1), 0);
  EXPECT_EQ(keyCodeOf(SDL_NUM_SCANCODES), 0);
  EXPECT_EQ(scancodeOf(0), SDL_SCANCODE_UNKNOWN);
  EXPECT_EQ(scancodeOf(-5), SDL_SCANCODE_UNKNOWN);
  EXPECT_EQ(scancodeOf(1 << 20), SDL_SCANCODE_UNKNOWN);
}

TEST(KeyCodes, TranslationOfKeysWithoutALayoutCharacter) {
  // Out-of-range and character-less keys give 0 whatever the modifiers.
  for (Modifiers m : {Modifiers{false, false, false}, Modifiers{true, true, true}}) {
    EXPECT_EQ(translateKey(0, m), 0);
    EXPECT_EQ(translateKey(-1, m), 0);
    EXPECT_EQ(translateKey(256, m), 0);
    EXPECT_EQ(translateKey(59, m), 0);   // F1
    EXPECT_EQ(translateKey(219, m), 0);  // left Windows key
    EXPECT_EQ(translateKey(183, m), 0);  // Print Screen, the twin of keypad *
  }
  EXPECT_EQ(translateKey(28, {false, true, false}), 10);   // Ctrl+Enter
  EXPECT_EQ(translateKey(14, {false, true, false}), 127);  // Ctrl+Backspace
}

}  // namespace
