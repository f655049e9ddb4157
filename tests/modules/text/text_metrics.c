/* Font metrics: heights as asked, widths as sums of advances, the default
 * character, the fallbacks for odd heights and the font handles. */
#include "text_util.h"

void __MAIN(void) {
  int courier30, arial, times, unknown, zero, negative, bold;
  logValue("default_height", _ffontheight());
  logValue("default_width", _ffontwidth());
  logValue("default_a", _fstringwidth(S("a")));
  logValue("default_abc", _fstringwidth(S("abc")));
  logValue("empty_width", _fstringwidth(S("")));
  logValue("string_height", _fstringheight(S("anything at all")));

  courier30 = _floadfont(S("Courier New"), 30, 0, 0, 0);
  logValue("courier30_loaded", courier30 != 0);
  _fsetfont(courier30);
  logValue("courier30_height", _ffontheight());
  logValue("courier30_fontwidth", _ffontwidth());
  logValue("courier30_i", _fstringwidth(S("i")));
  logValue("courier30_W", _fstringwidth(S("W")));
  logValue("courier30_iW", _fstringwidth(S("iW")));
  /* Codes outside 32..255 stand for the default character. */
  logValue("courier30_code1", _fstringwidth(single(1)));
  logValue("courier30_code127", _fstringwidth(single(127)));
  logValue("courier30_code255", _fstringwidth(single(255)));

  arial = _floadfont(S("arial"), 20, 0, 0, 0);
  _fsetfont(arial);
  logValue("arial_height", _ffontheight());
  logValue("arial_i", _fstringwidth(S("i")));
  logValue("arial_W", _fstringwidth(S("W")));
  logValue("arial_iW", _fstringwidth(S("iW")));
  logValue("arial_long", _fstringwidth(repeated('W', 1000)));
  logValue("arial_sample", _fstringwidth(S("The quick brown fox jumps")));
  bold = _floadfont(S("arial"), 20, 1, 0, 0);
  _fsetfont(bold);
  logValue("arial_bold_W", _fstringwidth(S("WWWW")));
  _fsetfont(arial);
  logValue("arial_plain_W", _fstringwidth(S("WWWW")));

  times = _floadfont(S("TIMES NEW ROMAN"), 20, 0, 0, 0);
  _fsetfont(times);
  logValue("times_height", _ffontheight());
  logValue("times_sample", _fstringwidth(S("The quick brown fox jumps")));

  unknown = _floadfont(S("No Such Face At All"), 16, 0, 0, 0);
  logValue("unknown_loaded", unknown != 0);
  _fsetfont(unknown);
  logValue("unknown_height", _ffontheight());

  zero = _floadfont(S("courier"), 0, 0, 0, 0);
  _fsetfont(zero);
  logValue("height_0", _ffontheight());
  negative = _floadfont(S("courier"), -20, 0, 0, 0);
  _fsetfont(negative);
  logValue("height_minus_20", _ffontheight());
  logValue("height_huge", _floadfont(S("courier"), 100000, 0, 0, 0));
  logValue("height_min", _floadfont(S("courier"), (int)0x80000000, 0, 0, 0));
  logValue("height_max", _floadfont(S("courier"), 0x7FFFFFFF, 0, 0, 0));

  /* Freeing the current font brings back the default. */
  _fsetfont(courier30);
  _ffreefont(courier30);
  logValue("after_free_height", _ffontheight());
  logValue("after_free_a", _fstringwidth(S("a")));
  logValue("survived", 1);
}
