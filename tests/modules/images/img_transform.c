/* Transforms through the commands: sizes, handles, degenerate values. */
#include "img_util.h"

void __MAIN(void) {
  int img, big, i;
  _fgraphics(320, 200, 32, 2);
  img = _fcreateimage(10, 10, 2);
  _fhandleimage(img, 5, 5);
  _fscaleimage(img, 2.0f, 2.0f);
  logValue("scaled", _fimagewidth(img) * 100 + _fimageheight(img));
  logValue("scaled_handle", _fimagexhandle(img) * 100 + _fimageyhandle(img));
  img = _fcreateimage(100, 100, 1);
  _fresizeimage(img, 30.0f, 30.0f);
  logValue("resized", _fimagewidth(img) * 1000 + _fimageheight(img));
  img = _fcreateimage(32, 32, 1);
  _fresizeimage(img, 64.0f, 32.0f);
  logValue("resized_64_32", _fimagewidth(img) * 1000 + _fimageheight(img));
  img = _fcreateimage(40, 10, 1);
  _frotateimage(img, 90.0f);
  logValue("rotated", _fimagewidth(img) * 1000 + _fimageheight(img));
  _frotateimage(img, 0.0f);
  logValue("rotated_0", _fimagewidth(img) * 1000 + _fimageheight(img));

  /* Degenerate transforms leave the image as it was. */
  img = _fcreateimage(12, 8, 3);
  _fscaleimage(img, 0.0f, 1.0f);
  _fscaleimage(img, floatBits(0x7FC00000u), 1.0f);
  _fscaleimage(img, floatBits(0x7F800000u), 1.0f);
  _fscaleimage(img, 1e30f, 1e30f);
  _ftformimage(img, 1.0f, 2.0f, 2.0f, 4.0f);
  _frotateimage(img, floatBits(0xFF800000u));
  _fresizeimage(img, 0.0f, 5.0f);
  logValue("degenerate_kept", _fimagewidth(img) * 1000 + _fimageheight(img));
  for (i = 0; i < 3; ++i) logValue("frame_buffer", _fimagebuffer(img, i) != 0);

  /* Frames that would pass the budget of all frames leave the image as it was
   * (38 frames scaled by -720.5 x -56.75 would take about 2 GB). */
  big = _fcreateimage(20, 17, 38);
  i = _fmillisecs();
  _fscaleimage(big, floatBits(0xC4342000u), floatBits(0xC2630000u));
  logValue("over_budget_kept", _fimagewidth(big) * 1000 + _fimageheight(big));
  logValue("over_budget_ms", _fmillisecs() - i);
  _fscaleimage(big, -2.0f, -3.0f);
  logValue("mirrored", _fimagewidth(big) * 1000 + _fimageheight(big));

  /* The current buffer leaves a transformed frame for the front buffer. */
  _fsetbuffer(_fimagebuffer(img, 1));
  _fscaleimage(img, 2.0f, 2.0f);
  logValue("tform_front", _fgraphicsbuffer() == _ffrontbuffer());
  logValue("tform_size", _fimagewidth(img) * 1000 + _fimageheight(img));
}
