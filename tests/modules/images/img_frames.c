/* Frames: slicing strips, creating, copying, handles, grabbing, freeing. */
#include "img_util.h"

void __MAIN(void) {
  int img, copy, strip, grid, made, none, huge;
  _fgraphics(320, 200, 32, 2);

  strip = _floadanimimage(S("strip.bmp"), 32, 32, 1, 2);
  logValue("strip_w", _fimagewidth(strip));
  logPixel("strip_f0", strip, 0, 0, 0);
  logPixel("strip_f1", strip, 1, 0, 0);
  grid = _floadanimimage(S("grid.bmp"), 32, 32, 2, 4);
  logPixel("grid_f0", grid, 0, 0, 0);
  logPixel("grid_f1", grid, 1, 0, 0);
  logPixel("grid_f2", grid, 2, 0, 0);
  logPixel("grid_f3", grid, 3, 31, 31);

  _fautomidhandle(1);
  img = _floadanimimage(S("grid.bmp"), 32, 32, 0, 1);
  logValue("auto_anim_handle", _fimagexhandle(img));
  img = _fcreateimage(9, 7, 1);
  logValue("auto_create_handle", _fimagexhandle(img) * 100 + _fimageyhandle(img));
  _fautomidhandle(0);
  img = _floadimage(S("strip.bmp"));
  logValue("auto_off_handle", _fimagexhandle(img));
  _fmidhandle(img);
  logValue("mid_handle", _fimagexhandle(img) * 100 + _fimageyhandle(img));
  _fhandleimage(img, -3, 4);
  _fmaskimage(img, 255, 0, 255);
  copy = _fcopyimage(img);
  logValue("copy_handle", _fimagexhandle(copy) * 100 + _fimageyhandle(copy));
  logValue("copy_same", _freadpixel(17, 9, _fimagebuffer(copy, 0)) == _freadpixel(17, 9, _fimagebuffer(img, 0)));
  logValue("copy_mask", _freadpixel(-1, -1, _fimagebuffer(copy, 0)));

  made = _fcreateimage(16, 16, 3);
  logValue("created_black", _freadpixel(3, 3, _fimagebuffer(made, 2)));
  none = _fcreateimage(16, 16, 0);
  logValue("no_frames_handle", none != 0);
  logValue("create_zero", _fcreateimage(0, 5, 1));
  logValue("create_negative", _fcreateimage(5, -5, 1));
  logValue("create_huge", _fcreateimage(100000, 100000, 1));
  huge = _fcreateimage(64, 64, 100000000);
  logValue("create_many", huge);

  /* Grabbing puts pixels back where DrawImage would draw them. */
  _fsetbuffer(_fbackbuffer());
  _forigin(3, 2);
  _fdrawblock(strip, 40, 20, 1);
  img = _fcreateimage(32, 32, 1);
  _fhandleimage(img, 5, 6);
  _fgrabimage(img, 45, 26, 0);
  logValue("grab_same", _freadpixel(0, 0, _fimagebuffer(img, 0)) == _freadpixel(0, 0, _fimagebuffer(strip, 1)));
  logValue("grab_corner", _freadpixel(31, 31, _fimagebuffer(img, 0)) == _freadpixel(31, 31, _fimagebuffer(strip, 1)));
  /* From an image buffer with a handle: read from the frame's own (0, 0). */
  _fsetbuffer(_fimagebuffer(strip, 0));
  _fhandleimage(strip, 7, 7);
  copy = _fcreateimage(8, 8, 1);
  _fgrabimage(copy, 0, 0, 0);
  logValue("grab_from_frame", _freadpixel(0, 0, _fimagebuffer(copy, 0)) == _freadpixel(0, 0, _fimagebuffer(strip, 0)));

  /* Freeing the image whose frame is current. */
  _ffreeimage(strip);
  logValue("front_current", _fgraphicsbuffer() == _ffrontbuffer());
  _ffreeimage(strip);
  _ffreeimage(0);
  _ffreeimage(0x1234);
  logValue("frees_survived", 1);
}
