/* One made-up or dead handle per case; the case number is in case.bin. Under
 * debug each case ends in a runtime error; without it the result is logged. */
#include "files_module_util.h"

static int moduleGlobal = 1234;

static int runCase(int which) {
  int bank = _fcreatebank(8);
  int freed = _fcreatebank(8);
  _ffreebank(freed);
  int file = _freadfile(S("case.bin"));
  int closed = _freadfile(S("case.bin"));
  _fclosefile(closed);
  switch (which) {
    case 1: return _fpeekint(bank, 5);
    case 2: return _fpeekbyte(bank, -1);
    case 3: _fpokeshort(bank, 7, 0xFFFF); return _fpeekbyte(bank, 7);
    case 4: return (int)_fpeekfloat(freed, 0);
    case 5: return _freadbyte(12345);
    case 6: logStr(_fnextfile(77)); return 0;
    case 7: _freadbytes(bank, file, 6, 4); return _fpeekshort(bank, 6) + (_feof(file) << 16);
    case 8: _fwritebytes(bank, file, -4, 8); return _ffilepos(file);
    case 9: return _fpeekint(file, 0);
    case 10: { int b = _fcreatebank(-5); return _fpeekbyte(b, 0); }
    case 11: _fpokeint((int)&moduleGlobal, 0, 99); return moduleGlobal;
    case 12: return _freadint(closed);
    case 13: _fwriteline(bank, S("x")); return _feof(bank);
    case 14: _freadbytes(bank, file, 0, -3); return _ffilepos(file);
  }
  return -1;
}

void __MAIN(void) {
  int f = _freadfile(S("case.bin"));
  int which = _freadint(f);
  _fclosefile(f);
  logInt("result", runCase(which));
}
