/* Real keys and pointer moves from the X server (xdotool through XTEST) in a
 * 2x scaled window. Runs under Xvfb with the x11 video driver. */
#include "input_util.h"

#define WINDOW "$(xdotool search --name 'Korrin Runtime Window' | head -n 1)"

static void xdo(const char* args) {
  int at = inAppend(0, "xdotool ");
  inAppend(at, args);
  _fexecfile(__krStrConst(inLine));
  _fdelay(150);
}

void __MAIN(void) {
  _fgraphics(160, 120, 0, 2);
  _fgraphics(80, 60, 0, 3);
  _fdelay(200);

  xdo("mousemove --window " WINDOW " 101 51");
  report("x", _fmousex());
  report("y", _fmousey());
  xdo("mousemove --window " WINDOW " 159 119");
  report("edge_x", _fmousex());
  report("edge_y", _fmousey());

  /* Dragging out of the window: clamped to the canvas. */
  xdo("mousedown 1");
  report("left_down", _fmousedown(1));
  xdo("mousemove 0 0");
  report("drag_x", _fmousex());
  report("drag_y", _fmousey());
  xdo("mouseup 1");
  report("left_up", _fmousedown(1));
  xdo("mousemove --window " WINDOW " 20 20 click 3");
  report("right_hits", _fmousehit(2));

  /* MoveMouse puts the real pointer over the canvas pixel: a move of 10
   * screen pixels from there is 5 canvas pixels. */
  _fmovemouse(30, 20);
  _fdelay(150);
  report("moved_x", _fmousex());
  report("moved_speed", _fmousexspeed());
  xdo("mousemove_relative 10 6");
  report("relative_x", _fmousex());
  report("relative_y", _fmousey());

  _fflushkeys();
  xdo("key --delay 30 space space");
  report("space_hits", _fkeyhit(57));
  _fflushkeys();
  xdo("key --delay 30 a shift+a shift+1 Left KP_Multiply Escape");
  report("key_a", _fgetkey());
  report("key_shift", _fgetkey());
  report("key_shift_a", _fgetkey());
  _fgetkey();
  report("key_shift_1", _fgetkey());
  report("key_left", _fgetkey());
  report("key_kp_star", _fgetkey());
  report("key_escape", _fgetkey());
  xdo("keydown Up");
  report("up_held", _fkeydown(200));
  xdo("keyup Up");
  report("up_released", _fkeydown(200));
  _fflushkeys();
  xdo("key --delay 30 shift_L b");
  report("waitkey", _fwaitkey());
}
