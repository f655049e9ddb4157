/* Every write command into one file, then every read command over it. */
#include "files_module_util.h"

void __MAIN(void) {
  int f = _fwritefile(S("numbers.bin"));
  _fwritebyte(f, 300);
  _fwriteshort(f, 65537);
  _fwriteint(f, -2);
  _fwritefloat(f, 1.5f);
  _fwritestring(f, S("hello"));
  _fwritestring(f, S(""));
  _fwriteline(f, S("line one"));
  _fwriteint(f, -1);
  logInt("written", _ffilepos(f));
  _fclosefile(f);

  f = _freadfile(S("numbers.bin"));
  logInt("byte", _freadbyte(f));
  logInt("short", _freadshort(f));
  logInt("int", _freadint(f));
  logInt("float*4", (int)(_freadfloat(f) * 4.0f));
  logStr(_freadstring(f));
  logStr(_freadstring(f));
  logStr(_freadline(f));
  logInt("pos", _ffilepos(f));
  logInt("ushort", _freadshort(f));
  logInt("seek", _fseekfile(f, _ffilepos(f) - 2));
  logInt("int", _freadint(f));
  logInt("eof", _feof(f));
  logInt("past", _freadint(f));
  logInt("seek0", _fseekfile(f, 0));
  logInt("after", _freadbyte(f));
  logInt("pos0", _ffilepos(f));
  _fclosefile(f);
  _fclosefile(f);
  logText("done");
}
