/* The three open modes and the sticky error state. */
#include "files_module_util.h"

void __MAIN(void) {
  int f = _fwritefile(S("old.txt"));
  logInt("truncated", _ffilesize(S("old.txt")));
  _fclosefile(f);

  logInt("missing", _fopenfile(S("nothing.txt")));
  logInt("missing", _freadfile(S("nothing.txt")));

  f = _fopenfile(S("keep.txt"));
  logInt("first", _freadbyte(f));
  _fwritebyte(f, 'X');
  logInt("third", _freadbyte(f));
  _fseekfile(f, 5);
  _fwritebyte(f, 'Z');
  _fwritebyte(f, '!');
  logInt("pos", _ffilepos(f));
  _fclosefile(f);

  f = _freadfile(S("keep.txt"));
  _fwritebyte(f, 'Q');
  logInt("readAfterBadWrite", _freadbyte(f));
  logInt("eof", _feof(f));
  _fclosefile(f);

  f = _fwritefile(S("w.txt"));
  _fwritebyte(f, 'a');
  logInt("eofOnWriter", _feof(f));
  _fwritebyte(f, 'b');
  logInt("seek", _fseekfile(f, 0));
  _fclosefile(f);
}
