/* The keyboard fed by window events: hit counts, the press queue, auto-repeat,
 * FlushKeys, the character of each press, WaitKey, focus loss, bad key numbers. */
#include "input_util.h"

#define KEY_A 30
#define KEY_SHIFT 42

static int takeAll(void) {
  int n = 0;
  while (_fgetkey()) ++n;
  return n;
}

void __MAIN(void) {
  int i, n, allA;

  inject("tap A tap A");
  report("hits_two", _fkeyhit(KEY_A));
  report("hits_cleared", _fkeyhit(KEY_A));
  _fflushkeys();

  /* 33 presses: 32 are queued, all are counted. */
  for (i = 0; i < 33; ++i) inject("tap A");
  report("hits_33", _fkeyhit(KEY_A));
  n = 0;
  allA = 1;
  for (i = 0; i < 40; ++i) {
    int c = _fgetkey();
    if (c) ++n;
    if (c && c != 'a') allA = 0;
  }
  report("queued", n);
  report("queued_all_a", allA);

  /* Auto-repeats are not presses. */
  inject("down A repeat A repeat A repeat A");
  report("repeat_hits", _fkeyhit(KEY_A));
  report("repeat_queued", takeAll());
  report("repeat_held", _fkeydown(KEY_A));
  inject("up A");
  report("released", _fkeydown(KEY_A));

  /* FlushKeys with a key held: still held, no hits, nothing queued. */
  inject("down Space");
  _fflushkeys();
  report("flush_held", _fkeydown(57));
  report("flush_hits", _fkeyhit(57));
  report("flush_queue", _fgetkey());
  inject("up Space");

  /* Characters, fixed with the modifiers held when the key went down. */
  inject("tap A");
  report("char_a", _fgetkey());
  inject("down Left_Shift tap A up Left_Shift");
  report("char_shift_a", _fgetkey()); /* Shift press: no character */
  report("char_shift_a_2", _fgetkey());
  inject("down Right_Shift tap 1 tap / tap ' up Right_Shift");
  _fgetkey();
  report("char_shift_1", _fgetkey());
  report("char_shift_slash", _fgetkey());
  report("char_shift_quote", _fgetkey());
  inject("down Left_Ctrl tap C tap Z tap [ tap 1 up Left_Ctrl");
  report("char_ctrl_key", _fgetkey());
  report("char_ctrl_c", _fgetkey());
  report("char_ctrl_z", _fgetkey());
  report("char_ctrl_bracket", _fgetkey());
  report("char_ctrl_1", _fgetkey());
  inject("tap Return tap Escape tap Tab tap Backspace tap Left tap Home tap Delete tap Space");
  report("char_enter", _fgetkey());
  report("char_escape", _fgetkey());
  report("char_tab", _fgetkey());
  report("char_backspace", _fgetkey());
  report("char_left", _fgetkey());
  report("char_home", _fgetkey());
  report("char_delete", _fgetkey());
  report("char_space", _fgetkey());
  inject("tap Keypad_* tap Keypad_- tap Keypad_+ tap Keypad_/ tap Keypad_Enter tap Keypad_7 tap PrintScreen");
  report("char_kp_star", _fgetkey());
  report("char_kp_minus", _fgetkey());
  report("char_kp_plus", _fgetkey());
  report("char_kp_slash", _fgetkey());
  report("char_kp_enter", _fgetkey());
  report("char_kp_7", _fgetkey());
  report("char_print_screen", _fgetkey());
  inject("down Left_Shift tap Keypad_/ up Left_Shift");
  _fgetkey();
  report("char_shift_kp_slash", _fgetkey());
  report("queue_empty", _fgetkey());

  /* Key numbers of the extended keys. */
  inject("down Right_Ctrl down Right_Alt down Up down Keypad_Enter down Keypad_/ down Pause down Left_GUI");
  report("code_rctrl", _fkeydown(157));
  report("code_ralt", _fkeydown(184));
  report("code_up", _fkeydown(200));
  report("code_kp_enter", _fkeydown(156));
  report("code_kp_slash", _fkeydown(181));
  report("code_pause", _fkeydown(197));
  report("code_lwin", _fkeydown(219));
  inject("up Right_Ctrl up Right_Alt up Up up Keypad_Enter up Keypad_/ up Pause up Left_GUI");
  _fflushkeys();

  /* WaitKey skips presses without a character. */
  inject("tap Left_Shift tap F1 tap B");
  report("waitkey", _fwaitkey());

  /* Keys held when the focus goes elsewhere are let go. */
  inject("down D unfocus");
  report("unfocused_held", _fkeydown(32));
  _fflushkeys();

  /* Any number: 0, and nothing written outside the tables. */
  report("bad_down", _fkeydown(-1) + _fkeydown(256) + _fkeydown(0x7FFFFFFF) + _fkeydown(-2147483647 - 1));
  report("bad_hit", _fkeyhit(100000) + _fkeyhit(-100000) + _fkeyhit(256));
  inject("tap A");
  report("after_bad_hits", _fkeyhit(KEY_A));

  /* The window closes while WaitKey waits: the program ends quietly. */
  inject("close");
  _fwaitkey();
  report("after_close", 1);
}
