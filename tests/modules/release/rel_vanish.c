/* Files and directories that vanish or shrink while a handle is open on them. */
#include "../module_log.h"

static void writeNumbers(const char* name, int count) {
  int f = _fwritefile(S(name)), i;
  for (i = 0; i < count; ++i) _fwriteint(f, i * 3);
  _fclosefile(f);
}

void __MAIN(void) {
  int f, g, i, d, n;
  krString* name;

  /* Deleted while open for reading: the open handle keeps its data. */
  writeNumbers("gone.bin", 100);
  f = _freadfile(S("gone.bin"));
  logInt("first", _freadint(f));
  _fdeletefile(S("gone.bin"));
  logInt("type after delete", _ffiletype(S("gone.bin")));
  for (i = 1; i < 99; ++i) _freadint(f);
  logInt("last", _freadint(f));
  logInt("eof", _feof(f));
  _fclosefile(f);

  /* Truncated under a reader by a second handle; the reader then moves past
   * what it has buffered (64 KB). */
  writeNumbers("shrink.bin", 20000);
  f = _freadfile(S("shrink.bin"));
  logInt("before shrink", _freadint(f));
  g = _fwritefile(S("shrink.bin"));
  _fclosefile(g);
  _fseekfile(f, 70000);
  logInt("read past new end", _freadint(f));
  logInt("eof after shrink", _feof(f));
  logInt("string after shrink", _flen(_freadstring(f)));
  _fclosefile(f);

  /* Written while its file and directory are removed. */
  _fcreatedir(S("dir"));
  f = _fwritefile(S("dir\\log.txt"));
  _fwriteline(f, S("one"));
  _fdeletefile(S("dir\\log.txt"));
  _fdeletedir(S("dir"));
  logInt("dir type", _ffiletype(S("dir")));
  for (i = 0; i < 20000; ++i) _fwriteline(f, S("after the directory went"));
  _fclosefile(f);

  /* A listing whose directory is emptied and removed half-way. */
  _fcreatedir(S("list"));
  for (i = 0; i < 5; ++i) {
    static char file[] = "list\\f0.txt";
    file[6] = (char)('0' + i);
    writeNumbers(file, 1);
  }
  d = _freaddir(S("list"));
  name = _fnextfile(d);
  __krStrRelease(name);
  for (i = 0; i < 5; ++i) {
    static char file[] = "list\\f0.txt";
    file[6] = (char)('0' + i);
    _fdeletefile(S(file));
  }
  _fdeletedir(S("list"));
  for (n = 0; n < 100 && _flen(_fnextfile(d)) > 0; ++n) {
  }
  logInt("listing ends", n < 100);
  _fclosedir(d);
  logText("done");
}
