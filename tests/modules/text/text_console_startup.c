/* Console commands before Graphics: Locate re-opens the window and keeps its
 * position for the Print that follows. */
#include "text_util.h"

void __MAIN(void) {
  _flocate(50, 100);
  _fprint(S("here"));
  _fsavebuffer(_ffrontbuffer(), S("startup.bmp"));
  logValue("width", _fgraphicswidth());
  logValue("height", _fgraphicsheight());
  logValue("survived", 1);
}
