/* Hosts "CaseGame" and stays until a player tells it to stop (type 99). */
#include "net_util.h"

void __MAIN(void) {
  logValue("host", _fhostnetgame(S("CaseGame")));
  logValue("stopped", waitType(99, 20000) == 99);
}
