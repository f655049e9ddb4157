/* The mouse fed by window events in a fixed window, a 2x scaled window and
 * full screen: positions in canvas pixels, clamping, buttons, speeds,
 * MoveMouse and bad button numbers. The start-up window is 400 x 300. */
#include "input_util.h"

void __MAIN(void) {
  int before;

  inject("move 123 45");
  report("startup_x", _fmousex());
  report("startup_y", _fmousey());

  /* Fixed window: one to one. */
  _fgraphics(80, 60, 0, 2);
  inject("move 50 25");
  report("fixed_x", _fmousex());
  report("fixed_y", _fmousey());

  /* A scaled window keeps the 160 x 120 of the mode before: 2 x 2 per pixel. */
  _fgraphics(160, 120, 0, 2);
  _fgraphics(80, 60, 0, 3);
  inject("move 101 51");
  report("scaled_x", _fmousex());
  report("scaled_y", _fmousey());
  inject("move 159 119");
  report("edge_x", _fmousex());
  report("edge_y", _fmousey());

  /* Buttons: left 1, right 2, middle 3. Dragging outside stays clamped. */
  inject("press 1 press 3 press 2 move -40 500");
  report("drag_x", _fmousex());
  report("drag_y", _fmousey());
  inject("move 100000 -7");
  report("drag2_x", _fmousex());
  report("drag2_y", _fmousey());
  report("down_left", _fmousedown(1));
  report("down_right", _fmousedown(2));
  report("down_middle", _fmousedown(3));
  report("first_press", _fgetmouse());
  report("second_press", _fgetmouse());
  report("third_press", _fgetmouse());
  report("no_press", _fgetmouse());
  report("hit_left", _fmousehit(1));
  report("hit_left_again", _fmousehit(1));
  inject("release 1 release 2 release 3");
  report("up_left", _fmousedown(1));
  inject("press 1 release 1 press 1 release 1");
  _fflushmouse();
  report("flushed_hits", _fmousehit(1));
  report("flushed_queue", _fgetmouse());

  /* MoveMouse: read back at once and after the window has moved the pointer. */
  _fmovemouse(30, 20);
  report("moved_x", _fmousex());
  report("moved_xspeed", _fmousexspeed());
  report("moved_yspeed", _fmouseyspeed());
  _fdelay(0);
  report("moved_pumped_x", _fmousex());
  report("moved_pumped_y", _fmousey());
  inject("move 20 10");
  report("speed_x", _fmousexspeed());
  report("speed_y", _fmouseyspeed());
  report("speed_x_again", _fmousexspeed());

  /* WaitMouse returns the next button. */
  inject("press 3 release 3");
  report("waitmouse", _fwaitmouse());

  /* Bad numbers read 0; MoveMouse takes any coordinates. */
  report("bad_buttons", _fmousedown(-1) + _fmousehit(256) + _fmousehit(-2147483647 - 1) + _fmousedown(100000));
  _fmovemouse(2147483647, -2147483647 - 1);
  report("huge_x", _fmousex());
  report("huge_y", _fmousey());
  before = _fmousexspeed();
  report("huge_speed_x", before);
  _fdelay(0);
  report("huge_pumped_x", _fmousex());
  report("huge_pumped_y", _fmousey());

  /* Full screen starts with the mouse at 0, 0 and maps the letterboxed picture. */
  _fgraphics(80, 60, 32, 1);
  report("full_start_x", _fmousex());
  report("full_start_y", _fmousey());
  inject("move 1023 767");
  report("full_corner_x", _fmousex());
  report("full_corner_y", _fmousey());
  _fmovemouse(40, 30);
  _fdelay(0);
  report("full_moved_x", _fmousex());
  report("full_moved_y", _fmousey());
  inject("hook cursor");
  /* A pause (Stop) lets go of everything; the resumed program starts afresh. */
  inject("down A press 1");
  report("full_key_before_pause", _fkeydown(30));
  _fstop();
  report("full_key_after_pause", _fkeydown(30));
  report("full_button_after_pause", _fmousedown(1));
  report("full_x_after_pause", _fmousex());
  inject("up A release 1");
  /* A new full-screen display starts afresh as well. */
  _fgraphics(80, 60, 16, 1);
  report("full_again_x", _fmousex());
  _fendgraphics();
  inject("hook cursor");

  inject("close");
  _fwaitmouse();
  report("after_close", 1);
}
