#include "net_util.h"
void __MAIN(void) {
  _fhostnetgame(S("short lived"));
  _fstopnetgame();
  _frecvnetmsg();
  logText("survived");
}
