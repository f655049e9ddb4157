/* FreeSound of a value that is no sound does nothing; PlaySound of it is an
 * error when debugging and 0 otherwise (written to log.txt). */
#include "audio_util.h"

void __MAIN(void) {
  int log = _fwritefile(S("log.txt"));
  _ffreesound(777);
  _fwriteline(log, S("freed"));
  _fwriteline(log, _fplaysound(777) ? S("played") : S("played=0"));
  _fclosefile(log);
}
