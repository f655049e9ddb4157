/* Hosts a game with a 5000-byte name and stays until told to stop (type 99). */
#include "net_util.h"

void __MAIN(void) {
  logValue("host", _fhostnetgame(_fstring(S("n"), 5000)));
  logValue("stopped", waitType(99, 20000) == 99);
}
