/* An oval so large that its far edge lies beyond the integer range: the part
 * inside the buffer still shows, and nothing left of its box. */
#include "gfx_util.h"

void __MAIN(void) {
  _fgraphics(64, 64, 0, 2);
  _fcls();
  /* Centre about 2^30 to the right and 32 rows down, radii about 2^30. */
  _foval(10, 32 - 1073741823, 2147483647, 2147483647, 1);
  logValue("solid_left_part", _freadpixel(40, 32, 0));
  logValue("left_of_box", _freadpixel(5, 32, 0) == 0);
}
