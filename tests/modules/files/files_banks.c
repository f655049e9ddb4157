/* Peeks and pokes of every width, at the first and last offsets they fit. */
#include "files_module_util.h"

void __MAIN(void) {
  int b = _fcreatebank(16);
  int sum = 0;
  for (int i = 0; i < 16; i++) sum += _fpeekbyte(b, i);
  logInt("zeros", sum + _fpeekint(b, 12) + _fpeekshort(b, 14));

  _fpokeint(b, 0, -1);
  logInt("b0", _fpeekbyte(b, 0));
  logInt("b3", _fpeekbyte(b, 3));
  logInt("b4", _fpeekbyte(b, 4));
  logInt("s0", _fpeekshort(b, 0));
  logInt("i0", _fpeekint(b, 0));
  _fpokeshort(b, 2, 65537);
  logInt("b2", _fpeekbyte(b, 2));
  logInt("b3", _fpeekbyte(b, 3));

  _fpokebyte(b, 15, 0x1AB);
  logInt("last8", _fpeekbyte(b, 15));
  _fpokeshort(b, 14, 0x8234);
  logInt("last16", _fpeekshort(b, 14));
  _fpokeint(b, 12, 0x12345678);
  logInt("last32", _fpeekint(b, 12));
  logInt("b12", _fpeekbyte(b, 12));
  _fpokefloat(b, 12, 2.5f);
  logInt("float*2", (int)(_fpeekfloat(b, 12) * 2.0f));
  logInt("floatBits", _fpeekint(b, 12));
  _fpokeint(b, 5, 0x01020304);
  logInt("b5", _fpeekbyte(b, 5));
  logInt("b8", _fpeekbyte(b, 8));
  logInt("s6", _fpeekshort(b, 6));

  _ffreebank(b);
  _ffreebank(b);
  int empty = _fcreatebank(0);
  logInt("empty", empty != 0);
  _ffreebank(empty);
  logText("done");
}
