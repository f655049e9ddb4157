#include "core_support.h"
static char message[301];
void __MAIN(void) {
  int i;
  for (i = 0; i < 300; ++i) message[i] = (char)('a' + i % 26);
  message[300] = 0;
  _fruntimeerror(__krStrConst(message));
  logText("after RuntimeError");
}
