#include "net_util.h"
void __MAIN(void) {
  logValue("name_ok", _flen(_fnetplayername(5)));
  _fcreatenetplayer(S("nobody"));
  logText("survived");
}
