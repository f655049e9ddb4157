/* ReadBytes and WriteBytes between banks and open files. */
#include "files_module_util.h"

void __MAIN(void) {
  int b = _fcreatebank(8);
  for (int i = 0; i < 8; i++) _fpokebyte(b, i, 10 + i);
  int f = _fwritefile(S("part.bin"));
  _fwritebytes(b, f, 2, 4);
  _fwritebytes(b, f, 0, 0);
  _fclosefile(f);

  int into = _fcreatebank(8);
  f = _freadfile(S("part.bin"));
  _freadbytes(into, f, 4, 0);
  logInt("nothing", _ffilepos(f));
  _freadbytes(into, f, 4, 4);
  logInt("got", _fpeekint(into, 4));
  logInt("untouched", _fpeekint(into, 0));
  logInt("eof", _feof(f));
  _fclosefile(f);

  int shortRead = _fcreatebank(8);
  f = _freadfile(S("part.bin"));
  _freadbytes(shortRead, f, 0, 8);
  logInt("short", _fpeekint(shortRead, 0));
  logInt("rest", _fpeekint(shortRead, 4));
  logInt("eof", _feof(f));
  _fclosefile(f);

  int size = _ffilesize(S("big.bin"));
  int big = _fcreatebank(size);
  f = _freadfile(S("big.bin"));
  _freadbytes(big, f, 0, size);
  logInt("bigEof", _feof(f));
  _fclosefile(f);
  f = _fwritefile(S("big2.bin"));
  _fwritebyte(f, 7);
  _fwritebytes(big, f, 0, size);
  _fwritebyte(f, 9);
  _fclosefile(f);
}
