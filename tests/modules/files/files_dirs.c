/* Listings, file types and sizes, and the whole-file operations. */
#include "files_module_util.h"

static void list(const char* dir) {
  int d = _freaddir(S(dir));
  logInt("dir", d != 0);
  for (int i = 0; i < 7; i++) logStr(_fnextfile(d));
  _fclosedir(d);
  _fclosedir(d);
}

void __MAIN(void) {
  list("tree");
  list("tree\\");
  logInt("missingDir", _freaddir(S("missing")));
  logInt("fileAsDir", _freaddir(S("tree\\a.txt")));

  logInt("typeDir", _ffiletype(S("tree")));
  logInt("typeFile", _ffiletype(S("tree\\a.txt")));
  logInt("typeNone", _ffiletype(S("tree\\none")));
  logInt("sizeDir", _ffilesize(S("tree")));
  logInt("sizeEmpty", _ffilesize(S("tree\\B.dat")));
  logInt("sizeFile", _ffilesize(S("tree\\a.txt")));
  logInt("sizeWild", _ffilesize(S("tree\\*.TXT")));
  logInt("sizeNone", _ffilesize(S("tree\\*.none")));

  _fcopyfile(S("tree\\a.txt"), S("tree\\B.dat"));
  logInt("copied", _ffilesize(S("tree\\B.dat")));
  _fdeletefile(S("tree\\a.txt"));
  logInt("deleted", _ffiletype(S("tree\\a.txt")));

  _fcreatedir(S("made"));
  logInt("made", _ffiletype(S("made")));
  _fcreatedir(S("no\\parent"));
  logInt("noParent", _ffiletype(S("no")));
  _fdeletedir(S("made"));
  logInt("unmade", _ffiletype(S("made")));
  _fdeletedir(S("tree"));
  logInt("notEmpty", _ffiletype(S("tree")));

  _fchangedir(S("tree\\sub"));
  logStr(_fcurrentdir());
  logInt("inSub", _ffiletype(S("..\\B.dat")));
  _fchangedir(S("..\\.."));
  logInt("back", _ffiletype(S("tree")));
}
