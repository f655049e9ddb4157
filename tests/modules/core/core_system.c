/* Title, clock, Delay and ExecFile. */
#include "core_support.h"
void __MAIN(void) {
  int t0, t1;
  _fapptitle(__krStrConst("Title of mine"));
  _fapptitle(__krStrConst(""));
  t0 = _fmillisecs();
  _fdelay(250);
  t1 = _fmillisecs();
  logNumber("delay250=", t1 - t0);
  t0 = _fmillisecs();
  _fdelay(0);
  _fdelay(-5);
  logNumber("delay0=", _fmillisecs() - t0);
  _fexecfile(__krStrConst("echo ran > execfile.txt"));
  _fexecfile(__krStrConst("no-such-program-anywhere --flag"));
  logText("after exec");
  _fdebuglog(__krStrConst(""));
}
