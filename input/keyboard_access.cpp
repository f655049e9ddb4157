// The keyboard as the text console sees it, on the run's input driver.
#include "input/keyboard_access.h"

#include "input/input_group.h"
#include "input/input_driver.h"

namespace kr::input {

KeyPress takeKeyPress() {
  InputDriver* driver = inputDriver();
  if (!driver) return {0, 0};
  Press press = driver->keyboard().nextPress();
  return {press.code, press.character};
}

bool keyIsDown(int code) {
  InputDriver* driver = inputDriver();
  return driver && driver->keyboard().isDown(code);
}

int keyCharacter(int code) {
  InputDriver* driver = inputDriver();
  if (!driver || !InputDevice::valid(code)) return 0;
  return translateKey(code, driver->keyboard().modifiers());
}

}  // namespace kr::input
