/* Windows-1252 text on its way to the terminal: a log line and an error. */
#include "core_support.h"
void __MAIN(void) {
  logText("Caf\xe9 \x80 \x9f!");
  _fruntimeerror(__krStrConst("Men\xfc \xe9puis\xe9"));
}
