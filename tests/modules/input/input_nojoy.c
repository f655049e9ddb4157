/* No joystick attached: every joystick command reads its neutral value, and
 * WaitJoy returns at once. */
#include "input_util.h"

void __MAIN(void) {
  int start = _fmillisecs();
  report("type", _fjoytype(0));
  report("x_is_zero", _fjoyx(0) == 0.0f);
  report("z_is_zero", _fjoyz(0) == 0.0f);
  report("xdir", _fjoyxdir(0));
  report("down", _fjoydown(1, 0));
  report("hit", _fjoyhit(1, 0));
  report("get", _fgetjoy(0));
  _fflushjoy();
  report("waitjoy", _fwaitjoy(0));
  report("joywait", _fjoywait(0));
  report("fast", _fmillisecs() - start < 20);
}
