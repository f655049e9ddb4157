/* Joysticks through SDL's virtual joysticks, which the test attaches before
 * the run: port 0 a game controller (3 axes, 8 buttons, a hat), port 1 a
 * joystick with 2 axes and 4 buttons. "hook NAME" lets the test change them. */
#include "input_util.h"

static int micro(float v) { return (int)(v * 1000000.0f); }

static void settle(void) { _fdelay(5); } /* state is read at most every 3 ms */

void __MAIN(void) {
  int i, held;

  report("type0", _fjoytype(0));
  report("type1", _fjoytype(1));
  report("type2", _fjoytype(2));
  report("type_neg", _fjoytype(-1));

  inject("hook extremes");
  settle();
  report("x_min", micro(_fjoyx(0)));
  report("y_max", micro(_fjoyy(0)));
  report("z_centre", micro(_fjoyz(0)));
  report("xdir_min", _fjoyxdir(0));
  report("ydir_max", _fjoyydir(0));
  report("zdir_centre", _fjoyzdir(0));
  report("missing_z", micro(_fjoyz(1)));
  report("missing_zdir", _fjoyzdir(1));
  report("x1", micro(_fjoyx(1)));

  inject("hook thirds");
  settle();
  report("xdir_inside_third", _fjoyxdir(0));
  report("ydir_beyond_third", _fjoyydir(0));

  inject("hook hat");
  settle();
  report("hat_xdir", _fjoyxdir(0));
  report("hat_ydir", _fjoyydir(0));
  report("hat_x", micro(_fjoyx(0)));

  inject("hook buttons");
  settle();
  held = 0;
  for (i = 0; i < 1000; ++i) held += _fjoydown(1, 0);
  report("held_reads", held);
  report("down5", _fjoydown(5, 0));
  report("down2", _fjoydown(2, 0));
  report("hits1", _fjoyhit(1, 0));
  report("hits1_again", _fjoyhit(1, 0));
  report("press_a", _fgetjoy(0));
  report("press_b", _fgetjoy(0));
  report("press_none", _fgetjoy(0));
  report("other_port", _fjoydown(1, 1));
  report("bad_buttons", _fjoydown(0, 0) + _fjoydown(32, 0) + _fjoydown(-1, 0) + _fjoyhit(100000, 0) +
                            _fjoyhit(-2147483647 - 1, 0));
  report("bad_ports", _fjoydown(1, 2) + _fjoydown(1, -1) + _fjoyhit(1, 2147483647) + _fgetjoy(99) +
                          _fwaitjoy(-5) + _fjoywait(7) + _fjoyxdir(2) + micro(_fjoyx(-2147483647 - 1)));

  inject("hook release hook press3");
  settle();
  report("waitjoy", _fwaitjoy(0));
  inject("hook release hook press3");
  settle();
  _fflushjoy();
  report("flushed_hits", _fjoyhit(3, 0));
  report("flushed_queue", _fgetjoy(0));
  report("flushed_held", _fjoydown(3, 0));

  inject("hook unplug");
  settle();
  report("unplugged_type", _fjoytype(0));
  report("unplugged_down", _fjoydown(3, 0));
  report("unplugged_x", micro(_fjoyx(0)));
  report("unplugged_getjoy", _fgetjoy(0));
  report("still_type1", _fjoytype(1));

  inject("close");
  _fwaitjoy(1);
  report("after_close", 1);
}
