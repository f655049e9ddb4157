/* Input reading lines typed as real key events: editing keys, Shift, keys the
 * font has no glyph for, a key held for a second, and the window closed while
 * Input waits. A line logged as "@..." makes the test push key events. */
#include "../input/input_util.h"

static void logLine(const char* label, krString* line) {
  int at = inAppend(0, label);
  inAppend(at, "=[");
  _fdebuglog(__krStrConcat(__krStrConcat(__krStrConst(inLine), line), __krStrConst("]")));
}

static void typed(const char* label, const char* script) {
  inject(script);
  logLine(label, _finput(__krStrConst("? ")));
}

void __MAIN(void) {
  _fgraphics(400, 300, 0, 2);
  typed("insert", "tap A tap B tap Left down Left_Shift tap X up Left_Shift tap Return");
  typed("escape", "tap A tap B tap Escape tap C tap Return");
  typed("backspace_at_start", "tap A tap Home tap Backspace tap Return");
  typed("backspace", "tap A tap B tap C tap Left tap Backspace tap Return");
  typed("delete", "tap A tap B tap Home tap Delete tap Return");
  typed("end", "tap A tap Home tap End tap B tap Return");
  typed("right", "tap A tap B tap Home tap Right tap X tap Return");
  typed("shift", "down Left_Shift tap A tap 1 up Left_Shift tap A tap Return");
  typed("no_glyph", "tap Tab tap A tap Return");
  typed("empty", "tap Return");
  /* Held for a second: the test releases the key and presses Enter. */
  inject("hook hold_x");
  logLine("held", _finput(__krStrConst("")));
  /* The window closes while Input waits: the program ends without a message. */
  inject("hook close_later");
  logLine("closed", _finput(__krStrConst("waiting ")));
  report("after_close", 1);
}
