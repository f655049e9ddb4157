#include "core_support.h"
void __MAIN(void) {
  logText("start");
  _fapptitle(__krStrConst("Title of mine"));
  logText("titled");
  _fapptitle(__krStrConst(""));
  logText("emptied");
}
