#include "net_util.h"
void __MAIN(void) {
  logValue("host", _fhostnetgame(S("one")));
  _fjoinnetgame(S("two"), S("127.0.0.1"));
  logText("survived");
}
