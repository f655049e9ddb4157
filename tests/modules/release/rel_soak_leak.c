/* The steady game with a leak: one 4 KiB bank a frame is never freed. */
#include "rel_soak_work.h"

void __MAIN(void) {
  int frame = 0;
  _fgraphics(320, 240, 32, 2);
  logText("playing");
  for (;;) {
    _fcreatebank(4096);
    soakFrame(frame++);
  }
}
