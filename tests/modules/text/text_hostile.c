/* Text, console and font commands given what no sane program passes: every
 * byte value, strings far wider than any canvas, coordinates at the ends of the
 * 32-bit range, enormous names and a font taller than the window. The run must
 * simply end. */
#include "text_util.h"

static krString* everyByte(void) {
  krString* s = S("");
  int i;
  for (i = 0; i < 256; ++i) s = __krStrConcat(s, _fchr(i));
  return s;
}

void __MAIN(void) {
  int i, tall, start;
  _fgraphics(400, 300, 0, 2);
  logValue("every_byte_width", _fstringwidth(everyByte()));
  _ftext(0, 0, everyByte(), 0, 0);
  _ftext(-2147483647 - 1, -2147483647 - 1, everyByte(), 1, 1);
  _ftext(2147483647, 2147483647, everyByte(), 1, 1);
  _fprint(everyByte());
  _fwrite(everyByte());

  _flocate(-2147483647 - 1, 2147483647);
  _fprint(S("clamped"));
  _flocate(2147483647, -2147483647 - 1);
  _fprint(S("clamped"));

  /* Names no file system or font catalogue has. */
  start = _fmillisecs();
  logValue("long_name", _floadfont(_fstring(S("Arial"), 20000), 12, 0, 0, 0) != 0);
  logValue("long_dotted_name", _floadfont(_fstring(S("a.b/"), 5000), 12, 0, 0, 0) >= 0);
  logValue("every_byte_name", _floadfont(everyByte(), 12, 0, 0, 0) >= 0);
  logValue("nul_name", _floadfont(__krStrConcat(S("courier"), _fchr(0)), 12, 0, 0, 0));
  logValue("dot_name", _floadfont(S("."), 12, 0, 0, 0) != 0);
  logValue("names_ms_under_5s", _fmillisecs() - start < 5000);

  /* A font taller than the window: Print and Input still behave. */
  tall = _floadfont(S("courier"), 350, 1, 1, 1);
  logValue("tall_loaded", tall != 0);
  _fsetfont(tall);
  logValue("tall_height", _ffontheight());
  _fprint(S("Tall"));
  _fprint(S("Taller"));
  _ftext(-100, -100, S("Tallest"), 1, 1);
  /* With its wide letters the console cursor walks off past 2^31 to the right. */
  _flocate(0, 0);
  for (i = 0; i < 200; ++i) _fwrite(_fstring(S("W"), 60000));
  _fwrite(S("still here"));
  logValue("survived", 1);
}
