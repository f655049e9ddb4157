/* SetFont of a value that is not a font: ignored, or an error when debugging. */
#include "text_util.h"

void __MAIN(void) {
  int f = _floadfont(S("courier"), 20, 0, 0, 0);
  _fsetfont(f);
  _fsetfont(12345);
  _fsetfont(0);
  _fsetfont(f + 4);
  logValue("height_kept", _ffontheight());
  _ffreefont(777);
  /* Without debugging there is no log: the files tell what happened. */
  if (_ffontheight() == 20) _fsavebuffer(0, S("kept.bmp"));
}
