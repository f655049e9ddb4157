/* ReadLine over mixed line ends, and a line-by-line copy through WriteLine. */
#include "files_module_util.h"

void __MAIN(void) {
  int f = _freadfile(S("mixed.txt"));
  while (!_feof(f)) logStr(_freadline(f));
  logStr(_freadline(f));
  _fclosefile(f);

  int in = _freadfile(S("long.txt"));
  int out = _fwritefile(S("copy.txt"));
  int lines = 0;
  while (!_feof(in)) {
    _fwriteline(out, _freadline(in));
    lines++;
  }
  logInt("lines", lines);
  _fclosefile(in);
  _fclosefile(out);
}
