// What the text console (graphics group) needs of the keyboard, without
// reaching into the input driver: the next press with the character it typed,
// the held state of a key, and the character a key types with the modifiers
// held now (used for key repeat). All are harmless when the input group is not
// open: no press, nothing held, no character.
#pragma once

namespace kr::input {

struct KeyPress {
  int code;       // scan-code-set-1 key number; 0 when the queue was empty
  int character;  // translated with the modifiers held when the key went down; 0 if none
};

KeyPress takeKeyPress();         // consumes the press
bool keyIsDown(int code);        // any int; false outside 0..255
int keyCharacter(int code);      // 0 for keys without a character

}  // namespace kr::input
