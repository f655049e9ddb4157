/* Strings bigger than the memory the run may use (the test limits it). Which
 * case to run is in case.bin: 1 ReadLine and 2 ReadString over huge.bin, whose
 * line or counted string cannot be held; 3 a huge string as a path and as the
 * text of WriteLine, where it must not be copied. */
#include "files_module_util.h"

void __MAIN(void) {
  int f = _freadfile(S("case.bin"));
  int which = _freadint(f);
  int size = _freadint(f);
  _fclosefile(f);
  if (which == 3) {
    logInt("type", _ffiletype(_fstring(S("a"), size)));
    f = _fwritefile(S("big.txt"));
    _fwriteline(f, _fstring(S("a"), size));
    logInt("written", _ffilesize(S("big.txt")));
    _fclosefile(f);
    _fdeletefile(S("big.txt"));
    return;
  }
  f = _freadfile(S("huge.bin"));
  krString* text = which == 1 ? _freadline(f) : _freadstring(f);
  logInt("length", _flen(text));
}
