/* Collisions through the commands: masks built lazily and kept current. */
#include "img_util.h"

void __MAIN(void) {
  int a, b;
  _fgraphics(320, 200, 32, 2);
  a = _fcreateimage(10, 10, 1);
  b = _fcreateimage(10, 10, 1);
  _fsetbuffer(_fimagebuffer(a, 0));
  _fcolor(255, 255, 255);
  _frect(0, 0, 10, 10, 1);
  _fsetbuffer(_fimagebuffer(b, 0));
  _frect(0, 0, 10, 10, 1);
  _fsetbuffer(_ffrontbuffer());
  logValue("collide_9", _fimagescollide(a, 0, 0, 0, b, 9, 0, 0));
  logValue("collide_10", _fimagescollide(a, 0, 0, 0, b, 10, 0, 0));
  _fmidhandle(a);
  _fmidhandle(b);
  logValue("mid_overlap_9", _fimagesoverlap(a, 0, 0, b, 9, 0));
  logValue("mid_overlap_10", _fimagesoverlap(a, 0, 0, b, 10, 0));
  /* A hole cut after the first test. */
  _fsetbuffer(_fimagebuffer(a, 0));
  _fcolor(0, 0, 0);
  _frect(5, 5, 5, 5, 1);
  _fsetbuffer(_ffrontbuffer());
  logValue("hole_collide", _fimagerectcollide(a, 0, 0, 0, 2, 2, 3, 3));
  logValue("hole_overlap", _fimagerectoverlap(a, 0, 0, 2, 2, 3, 3));
  logValue("solid_collide", _fimagerectcollide(a, 0, 0, 0, -5, -5, 1, 1));
  logValue("rect_zero", _fimagerectcollide(a, 0, 0, 0, -5, -5, 0, 10));
  logValue("rect_negative", _fimagerectcollide(a, 0, 0, 0, 4, 4, -8, -8));
  /* MaskImage: white becomes the mask colour, black solid. */
  _fmaskimage(a, 255, 255, 255);
  logValue("masked_white", _fimagerectcollide(a, 0, 0, 0, -5, -5, 5, 5));
  logValue("masked_black", _fimagerectcollide(a, 0, 0, 0, 1, 1, 2, 2));
  logValue("rects_edge", _frectsoverlap(0, 0, 10, 10, 10, 0, 10, 10));
  logValue("rects_9", _frectsoverlap(0, 0, 10, 10, 9, 0, 10, 10));
  logValue("rects_empty_inside", _frectsoverlap(5, 5, 0, 0, 0, 0, 10, 10));
  logValue("rects_far", _frectsoverlap(2147483640, 0, 100, 10, 2147483645, 0, 100, 10));
}
