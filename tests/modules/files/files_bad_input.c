/* Hostile paths and lengths: each gives a plain result, never a crash. */
#include "files_module_util.h"

static char longPath[5001];

void __MAIN(void) {
  logInt("empty", _freadfile(S("")));
  logInt("dirRead", _freadfile(S("adir")));
  logInt("dirWrite", _fwritefile(S("adir")));
  logInt("dirOpen", _fopenfile(S("adir")));

  for (int i = 0; i < 5000; i++) longPath[i] = (i % 100 == 99) ? '\\' : 'a';
  logInt("longRead", _freadfile(S(longPath)));
  logInt("longWrite", _fwritefile(S(longPath)));
  logInt("longType", _ffiletype(S(longPath)));
  logInt("longDir", _freaddir(S(longPath)));

  int f = _freadfile(S("names.bin"));
  krString* withNul = _freadstring(f);
  logInt("nulRead", _freadfile(withNul));
  logInt("nulType", _ffiletype(_freadstring(f)));
  _fclosefile(f);

  f = _freadfile(S("huge.bin"));
  logStr(_freadstring(f));
  logInt("hugePos", _ffilepos(f));
  logInt("hugeEof", _feof(f));
  _fclosefile(f);
  f = _freadfile(S("negative.bin"));
  logStr(_freadstring(f));
  logInt("negEof", _feof(f));
  _fclosefile(f);

  _fcopyfile(S("adir"), S("copied"));
  logInt("copyDir", _ffiletype(S("copied")));
  _fcopyfile(S("ok.txt"), S("adir"));
  logInt("ontoDir", _ffiletype(S("adir")));
  _fcopyfile(S("ok.txt"), S("OK.TXT"));
  logInt("ontoSelf", _ffilesize(S("ok.txt")));
  _fdeletefile(S("adir"));
  logInt("deleteDir", _ffiletype(S("adir")));
}
