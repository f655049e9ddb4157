/* ExecFile's program inherits none of the runtime's open files. */
#include "core_support.h"
void __MAIN(void) {
  int file = _fwritefile(__krStrConst("open.txt"));
  _fwriteline(file, __krStrConst("still open"));
  _fexecfile(__krStrConst("exec ls /proc/self/fd > fds.txt"));
  _fclosefile(file);
}
