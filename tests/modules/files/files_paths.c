/* A program written for a platform with backslashes and names in any case. */
#include "files_module_util.h"

void __MAIN(void) {
  int f = _freadfile(S("Data\\Levels\\LEVEL1.DAT"));
  logStr(_freadline(f));
  _fclosefile(f);
  logInt("type", _ffiletype(S("DATA\\LEVELS")));
  logInt("size", _ffilesize(S("data\\levels\\Level1.dat")));
  int d = _freaddir(S("DATA\\Levels\\"));
  for (int i = 0; i < 3; i++) logStr(_fnextfile(d));
  f = _fwritefile(S("Data\\Levels\\Save.DAT"));
  _fwriteline(f, S("saved"));
  _fclosefile(f);
  f = _fwritefile(S("DATA\\levels\\LEVEL1.dat"));
  _fwriteline(f, S("replaced"));
  _fclosefile(f);
  _fcopyfile(S("DATA\\LEVELS\\save.dat"), S("data\\COPY.dat"));
  _fchangedir(S("DATA"));
  logInt("changed", _ffiletype(S("COPY.DAT")));
}
