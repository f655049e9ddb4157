/* One run of a game that plays a sound, music and the CD and ends with all of
 * them playing; a development environment runs it twice in one process. */
#include "audio_util.h"

void __MAIN(void) {
  int tone = _floadsound(S("tone.wav"));
  _floopsound(tone);
  int ch = _fplaysound(tone);
  int m = _fplaymusic(S("tone.wav"));
  int cd = _fplaycdtrack(1, 2);
  logInt("sound", tone != 0 && _fchannelplaying(ch));
  logInt("music", m != 0 && _fchannelplaying(m));
  logInt("cd", _fchannelplaying(cd));
}
