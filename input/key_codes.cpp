#include "input/key_codes.h"

#include <SDL2/SDL_keyboard.h>
#include <SDL2/SDL_scancode.h>

namespace kr::input {

namespace {

struct ScancodeKey {
  SDL_Scancode scancode;
  unsigned char code;
};

// Every SDL scancode that has a set-1 key number.
constexpr ScancodeKey kKeys[] = {
    {SDL_SCANCODE_ESCAPE, 1}, {SDL_SCANCODE_1, 2}, {SDL_SCANCODE_2, 3}, {SDL_SCANCODE_3, 4},
    {SDL_SCANCODE_4, 5}, {SDL_SCANCODE_5, 6}, {SDL_SCANCODE_6, 7}, {SDL_SCANCODE_7, 8},
    {SDL_SCANCODE_8, 9}, {SDL_SCANCODE_9, 10}, {SDL_SCANCODE_0, 11}, {SDL_SCANCODE_MINUS, 12},
    {SDL_SCANCODE_EQUALS, 13}, {SDL_SCANCODE_BACKSPACE, 14}, {SDL_SCANCODE_TAB, 15}, {SDL_SCANCODE_Q, 16},
    {SDL_SCANCODE_W, 17}, {SDL_SCANCODE_E, 18}, {SDL_SCANCODE_R, 19}, {SDL_SCANCODE_T, 20},
    {SDL_SCANCODE_Y, 21}, {SDL_SCANCODE_U, 22}, {SDL_SCANCODE_I, 23}, {SDL_SCANCODE_O, 24},
    {SDL_SCANCODE_P, 25}, {SDL_SCANCODE_LEFTBRACKET, 26}, {SDL_SCANCODE_RIGHTBRACKET, 27},
    {SDL_SCANCODE_RETURN, 28}, {SDL_SCANCODE_LCTRL, 29}, {SDL_SCANCODE_A, 30}, {SDL_SCANCODE_S, 31},
    {SDL_SCANCODE_D, 32}, {SDL_SCANCODE_F, 33}, {SDL_SCANCODE_G, 34}, {SDL_SCANCODE_H, 35},
    {SDL_SCANCODE_J, 36}, {SDL_SCANCODE_K, 37}, {SDL_SCANCODE_L, 38}, {SDL_SCANCODE_SEMICOLON, 39},
    {SDL_SCANCODE_APOSTROPHE, 40}, {SDL_SCANCODE_GRAVE, 41}, {SDL_SCANCODE_LSHIFT, 42},
    {SDL_SCANCODE_BACKSLASH, 43}, {SDL_SCANCODE_NONUSHASH, 43}, {SDL_SCANCODE_Z, 44}, {SDL_SCANCODE_X, 45},
    {SDL_SCANCODE_C, 46}, {SDL_SCANCODE_V, 47}, {SDL_SCANCODE_B, 48}, {SDL_SCANCODE_N, 49},
    {SDL_SCANCODE_M, 50}, {SDL_SCANCODE_COMMA, 51}, {SDL_SCANCODE_PERIOD, 52}, {SDL_SCANCODE_SLASH, 53},
    {SDL_SCANCODE_RSHIFT, 54}, {SDL_SCANCODE_KP_MULTIPLY, 55}, {SDL_SCANCODE_LALT, 56},
    {SDL_SCANCODE_SPACE, 57}, {SDL_SCANCODE_CAPSLOCK, 58}, {SDL_SCANCODE_F1, 59}, {SDL_SCANCODE_F2, 60},
    {SDL_SCANCODE_F3, 61}, {SDL_SCANCODE_F4, 62}, {SDL_SCANCODE_F5, 63}, {SDL_SCANCODE_F6, 64},
    {SDL_SCANCODE_F7, 65}, {SDL_SCANCODE_F8, 66}, {SDL_SCANCODE_F9, 67}, {SDL_SCANCODE_F10, 68},
    {SDL_SCANCODE_NUMLOCKCLEAR, 69}, {SDL_SCANCODE_SCROLLLOCK, 70}, {SDL_SCANCODE_KP_7, 71},
    {SDL_SCANCODE_KP_8, 72}, {SDL_SCANCODE_KP_9, 73}, {SDL_SCANCODE_KP_MINUS, 74}, {SDL_SCANCODE_KP_4, 75},
    {SDL_SCANCODE_KP_5, 76}, {SDL_SCANCODE_KP_6, 77}, {SDL_SCANCODE_KP_PLUS, 78}, {SDL_SCANCODE_KP_1, 79},
    {SDL_SCANCODE_KP_2, 80}, {SDL_SCANCODE_KP_3, 81}, {SDL_SCANCODE_KP_0, 82}, {SDL_SCANCODE_KP_PERIOD, 83},
    {SDL_SCANCODE_NONUSBACKSLASH, 86}, {SDL_SCANCODE_F11, 87}, {SDL_SCANCODE_F12, 88},
    {SDL_SCANCODE_F13, 100}, {SDL_SCANCODE_F14, 101}, {SDL_SCANCODE_F15, 102},
    {SDL_SCANCODE_INTERNATIONAL2, 112}, {SDL_SCANCODE_INTERNATIONAL1, 115},
    {SDL_SCANCODE_INTERNATIONAL4, 121}, {SDL_SCANCODE_INTERNATIONAL5, 123},
    {SDL_SCANCODE_INTERNATIONAL3, 125}, {SDL_SCANCODE_KP_EQUALS, 141},
    // Extended keys: the set-1 code of the key after its E0 prefix, plus 128.
    {SDL_SCANCODE_AUDIOPREV, 144}, {SDL_SCANCODE_AUDIONEXT, 153}, {SDL_SCANCODE_KP_ENTER, 156},
    {SDL_SCANCODE_RCTRL, 157}, {SDL_SCANCODE_MUTE, 160}, {SDL_SCANCODE_AUDIOMUTE, 160},
    {SDL_SCANCODE_CALCULATOR, 161}, {SDL_SCANCODE_AUDIOPLAY, 162}, {SDL_SCANCODE_AUDIOSTOP, 164},
    {SDL_SCANCODE_VOLUMEDOWN, 174}, {SDL_SCANCODE_VOLUMEUP, 176}, {SDL_SCANCODE_AC_HOME, 178},
    {SDL_SCANCODE_WWW, 178}, {SDL_SCANCODE_KP_COMMA, 179}, {SDL_SCANCODE_KP_DIVIDE, 181},
    {SDL_SCANCODE_PRINTSCREEN, 183}, {SDL_SCANCODE_SYSREQ, 183}, {SDL_SCANCODE_RALT, 184},
    {SDL_SCANCODE_PAUSE, 197}, {SDL_SCANCODE_HOME, 199}, {SDL_SCANCODE_UP, 200},
    {SDL_SCANCODE_PAGEUP, 201}, {SDL_SCANCODE_LEFT, 203}, {SDL_SCANCODE_RIGHT, 205}, {SDL_SCANCODE_END, 207},
    {SDL_SCANCODE_DOWN, 208}, {SDL_SCANCODE_PAGEDOWN, 209}, {SDL_SCANCODE_INSERT, 210},
    {SDL_SCANCODE_DELETE, 211}, {SDL_SCANCODE_LGUI, 219}, {SDL_SCANCODE_RGUI, 220},
    {SDL_SCANCODE_APPLICATION, 221}, {SDL_SCANCODE_MENU, 221}, {SDL_SCANCODE_POWER, 222},
    {SDL_SCANCODE_SLEEP, 223}, {SDL_SCANCODE_AC_SEARCH, 229}, {SDL_SCANCODE_AC_BOOKMARKS, 230},
    {SDL_SCANCODE_AC_REFRESH, 231}, {SDL_SCANCODE_AC_STOP, 232}, {SDL_SCANCODE_STOP, 232},
    {SDL_SCANCODE_AC_FORWARD, 233}, {SDL_SCANCODE_AC_BACK, 234}, {SDL_SCANCODE_COMPUTER, 235},
    {SDL_SCANCODE_MAIL, 236}, {SDL_SCANCODE_MEDIASELECT, 237},
};

struct Tables {
  unsigned char codeOf[SDL_NUM_SCANCODES] = {};
  SDL_Scancode scancodeOf[256] = {};
  Tables() {
    for (const ScancodeKey& k : kKeys) {
      codeOf[k.scancode] = k.code;
      if (scancodeOf[k.code] == SDL_SCANCODE_UNKNOWN) scancodeOf[k.code] = k.scancode;
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

// The US layout, unshifted and shifted, for the keys that type a printable
// character; it says what Shift does where the layout SDL reports agrees.
struct UsKey {
  unsigned char code;
  char plain, shifted;
};
constexpr UsKey kUsKeys[] = {
    {2, '1', '!'},  {3, '2', '@'},  {4, '3', '#'},  {5, '4', '$'},   {6, '5', '%'},   {7, '6', '^'},
    {8, '7', '&'},  {9, '8', '*'},  {10, '9', '('}, {11, '0', ')'},  {12, '-', '_'},  {13, '=', '+'},
    {26, '[', '{'}, {27, ']', '}'}, {39, ';', ':'}, {40, '\'', '"'}, {41, '`', '~'},  {43, '\\', '|'},
    {51, ',', '<'}, {52, '.', '>'}, {53, '/', '?'}, {86, '\\', '|'},
};

int usShifted(int plain, int code) {
  for (const UsKey& k : kUsKeys)
    if (k.code == code) return k.plain == plain ? static_cast<unsigned char>(k.shifted) : 0;
  return 0;
}

bool isLowerLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFE && c != 0xF7); }

int controlCode(int code) {
  switch (code) {
    case 199: return 1;   // Home
    case 207: return 2;   // End
    case 210: return 3;   // Insert
    case 211: return 4;   // Delete
    case 201: return 5;   // Page Up
    case 209: return 6;   // Page Down
    case 200: return 28;  // Up
    case 208: return 29;  // Down
    case 205: return 30;  // Right
    case 203: return 31;  // Left
    default: return -1;
  }
}

// The character of a printable key in the current layout, 0 when the layout
// gives none inside 32..255.
int layoutCharacter(int code) {
  SDL_Scancode scancode = tables().scancodeOf[code];
  if (scancode == SDL_SCANCODE_UNKNOWN) return 0;
  SDL_Keycode key = SDL_GetKeyFromScancode(scancode);
  return key >= 32 && key <= 255 && key != 127 ? static_cast<int>(key) : 0;
}

}  // namespace

int keyCodeOf(int scancode) {
  return scancode > SDL_SCANCODE_UNKNOWN && scancode < SDL_NUM_SCANCODES ? tables().codeOf[scancode] : 0;
}

int scancodeOf(int code) { return code > 0 && code < 256 ? tables().scancodeOf[code] : SDL_SCANCODE_UNKNOWN; }

int translateKey(int code, Modifiers m) {
  int control = controlCode(code);
  if (control >= 0) return control;
  switch (code) {
    case 1: return 27;                    // Escape
    case 14: return m.control ? 127 : 8;  // Backspace
    case 15: return 9;                    // Tab
    case 28:                              // Enter
    case 156: return m.control ? 10 : 13;  // keypad Enter
    case 57: return 32;                   // Space
    case 55: return m.control ? 0 : '*';  // keypad signs type themselves whatever Shift says
    case 74: return m.control ? 0 : '-';
    case 78: return m.control ? 0 : '+';
    case 181: return m.control ? 0 : '/';
    default: break;
  }
  // Other extended keys (Print Screen, the Windows keys...) type nothing, and
  // neither do the keypad's digits: Num Lock is not followed.
  if (code <= 0 || code >= 128 || (code >= 71 && code <= 83)) return 0;
  int plain = layoutCharacter(code);
  if (!plain) return 0;
  if (m.control) {
    // Ctrl+Alt is AltGr, which the US layout leaves empty.
    if (m.alt) return 0;
    if (plain >= 'a' && plain <= 'z') return plain - 'a' + 1;
    if (plain == '[' || plain == '\\' || plain == ']') return plain - '[' + 27;
    return 0;
  }
  if (!m.shift) return plain;
  if (isLowerLetter(plain)) return plain == 0xDF ? 0xDF : plain - 32;
  return usShifted(plain, code);
}

}  // namespace kr::input
