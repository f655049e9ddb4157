// Placeholder until the input driver lands: nothing is pressed.
#include "input/keyboard_access.h"

namespace kr::input {

KeyPress takeKeyPress() { return {0, 0}; }
bool keyIsDown(int) { return false; }
int keyCharacter(int) { return 0; }

}  // namespace kr::input
