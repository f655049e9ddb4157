/* Handles and frames that name nothing: without debugging, nothing happens. */
#include "img_util.h"
void __MAIN(void) {
  int junk = 0x12345678, img = _fcreateimage(8, 8, 2), freed = _fcreateimage(8, 8, 1);
  int handles[3], i;
  _ffreeimage(freed);
  handles[0] = junk, handles[1] = freed, handles[2] = img;
  for (i = 0; i < 3; ++i) {
    int h = handles[i], f = i == 2 ? 5 : 0;
    _fdrawimage(h, 0, 0, f);
    _fdrawblock(h, 0, 0, -1);
    _ftileimage(h, 0, 0, f);
    _ftileblock(h, 0, 0, f);
    _fdrawimagerect(h, 0, 0, 0, 0, 4, 4, f);
    _fdrawblockrect(h, 0, 0, 0, 0, 4, 4, -1);
    _fgrabimage(h, 0, 0, f);
    _fmaskimage(i == 2 ? junk : h, 1, 2, 3);
    _fhandleimage(i == 2 ? junk : h, 1, 2);
    _fmidhandle(i == 2 ? junk : h);
    _fscaleimage(i == 2 ? junk : h, 2.0f, 2.0f);
    _frotateimage(i == 2 ? junk : h, 45.0f);
    logValue("buffer", _fimagebuffer(h, f));
    logValue("width", _fimagewidth(i == 2 ? junk : h));
    logValue("copy", _fcopyimage(i == 2 ? junk : h));
    logValue("collide", _fimagescollide(h, 0, 0, f, img, 0, 0, 0));
    logValue("rect_collide", _fimagerectcollide(h, 0, 0, f, 0, 0, 9, 9));
    logValue("overlap", _fimagesoverlap(i == 2 ? junk : h, 0, 0, img, 0, 0));
    logValue("save", _fsaveimage(h, S("junk.bmp"), f));
  }
  _fsavebuffer(0, S("survived.bmp"));
}
