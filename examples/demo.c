/* The demo module: for now it names its window, paces itself with a timer and
 * says what it is doing. It grows into the demo game as the display lands. */
#include <korrin.h>

void __MAIN(void) {
  int timer, frame;
  _fapptitle(__krStrConst("Korrin demo"));
  _fdebuglog(__krStrConst("demo: started"));
  timer = _fcreatetimer(50);
  for (frame = 0; frame < 50; ++frame) _fwaittimer(timer);
  _ffreetimer(timer);
  _fdebuglog(__krStrConst("demo: one second of frames"));
}
