/* The first Print of a program that never set a mode re-opens the window, which
 * frees the fonts loaded before it; the second Print does not. */
#include "text_util.h"

void __MAIN(void) {
  int before = _floadfont(S("courier"), 20, 0, 0, 0), after;
  _fsetfont(before);
  logValue("height_before", _ffontheight());
  _fprint(S("first"));
  logValue("height_after_print", _ffontheight());
  after = _floadfont(S("courier"), 22, 0, 0, 0);
  _fsetfont(after);
  _fprint(S("second"));
  logValue("height_after_second_print", _ffontheight());
  _fsetfont(before); /* gone: "Font does not exist" when debugging */
  logValue("survived", 1);
}
