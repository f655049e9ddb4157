/* Buffer handles and mode indices that name nothing. */
#include "gfx_util.h"
void __MAIN(void) {
  int junk = 0x12345678;
  logValue("fast_read", _freadpixelfast(0, 0, junk));
  _fwritepixelfast(0, 0, -1, junk);
  logValue("mode_width_0", _fgfxmodewidth(0));
  logValue("mode_depth_9999", _fgfxmodedepth(9999));
  _fsetbuffer(junk);
  logValue("read", _freadpixel(0, 0, junk));
  _fwritepixel(0, 0, -1, junk);
  _flockbuffer(junk);
  _funlockbuffer(junk);
  logValue("save", _fsavebuffer(junk, __krStrConst("junk.bmp")));
  logValue("current_still_front", _fgraphicsbuffer() == _ffrontbuffer());
  _fdebuglog(_fgfxdrivername(2));
  _fsavebuffer(0, __krStrConst("survived.bmp"));
}
