/* Texts past 1 GiB handed to the commands that take one: each must use it in
 * place, refuse it, or end the run with "Out of memory", never abort. */
#include "core_support.h"

static krString* huge(const char* unit) { return _fstring(__krStrConst(unit), 1100 << 20); }

void __MAIN(void) {
  _fdebuglog(huge("a"));
  _fexecfile(huge(" "));
  logText("exec done");
  logNumber("saved=", _fsavebuffer(_ffrontbuffer(), huge("b")));
  _fapptitle(huge("c"));
  logText("titled");
}
