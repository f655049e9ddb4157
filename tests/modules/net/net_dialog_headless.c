/* With no display the dialog cannot be answered: StartNetGame gives 0 at once. */
#include "net_util.h"

void __MAIN(void) {
  int start = _fmillisecs();
  logValue("dialog", _fstartnetgame());
  logValue("quick", _fmillisecs() - start < 500);
  logValue("host_after", _fhostnetgame(S("after dialog")));
}
