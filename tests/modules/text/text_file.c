/* Font files beside the game: a copied face under another name and letter
 * case, and files that are no fonts at all. Each load is timed. */
#include "text_util.h"

/* Logs "<label>_ms=<load time>" and "<label>=<width of a sample, 0 if none>". */
static void timedLoad(const char* label, const char* name) {
  int start = _fmillisecs(), f = _floadfont(S(name), 20, 0, 0, 0);
  _fdebuglog(__krStrConcat(__krStrConcat(S(label), S("_ms=")), __krStrFromInt(_fmillisecs() - start)));
  if (f) {
    _fsetfont(f);
    logValue(label, _fstringwidth(S("iiiWWW")));
    _ffreefont(f);
  } else {
    logValue(label, 0);
  }
}

void __MAIN(void) {
  _fgraphics(320, 240, 0, 2);
  _fstringwidth(S("x")); /* the font catalogue is read here, not in the first timed load */
  timedLoad("copied", "SERIFCOPY.ttf");
  timedLoad("serif", "Liberation Serif");
  timedLoad("mono", "courier");
  timedLoad("garbage", "garbage.ttf");
  timedLoad("truncated", "Truncated.TTF");
  timedLoad("directory", "fontdir.ttf");
  timedLoad("parent", "..");
  timedLoad("root", "/");
  timedLoad("missing", "nothere.ttf");
  timedLoad("dots", "...");
  timedLoad("colon", "Liberation Mono:bold");
  timedLoad("backslash", "sub\\serifcopy.TTF");
  logValue("survived", 1);
}
