// Key numbers are PC scan code set 1, plus 128 for the extended (E0) keys:
// 1 Escape, 28 Enter, 57 Space, 200 Up, 203 Left, 205 Right, 208 Down.
#pragma once

namespace kr::input {

// The key number of an SDL scancode; 0 for keys without one.
int keyCodeOf(int scancode);
// The SDL scancode of a key number (the first one that gives it), or 0 (SDL_SCANCODE_UNKNOWN).
int scancodeOf(int code);

struct Modifiers {
  bool shift, control, alt;
};

// The character a key types with the given modifiers: control codes for the
// cursor keys (Home 1 ... Left 31), 8/9/13/27 for Backspace, Tab, Enter and
// Escape, Ctrl+letter 1 to 26, and otherwise the character of the keyboard
// layout (US when none is known) as a code 0..255. 0 when the key types nothing.
int translateKey(int code, Modifiers modifiers);

}  // namespace kr::input
