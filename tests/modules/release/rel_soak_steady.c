/* Plays frames of everyday work until it is asked to close. */
#include "rel_soak_work.h"

void __MAIN(void) {
  int frame = 0;
  _fgraphics(320, 240, 32, 2);
  logText("playing");
  for (;;) soakFrame(frame++);
}
