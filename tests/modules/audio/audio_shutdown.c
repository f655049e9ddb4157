/* Ends with every kind of channel busy: sounds, a stream, a song and the CD. */
#include "audio_util.h"

void __MAIN(void) {
  int loop = _floadsound(S("loop.wav"));
  _floopsound(loop);
  int busy = 0;
  for (int i = 0; i < 31; i++) busy += _fplaysound(loop) != 0;
  busy += _fplaymusic(S("long.wav")) != 0;
  busy += _fplaymusic(S("tune.mod")) != 0;
  busy += _fplaymusic(S("note.mid")) != 0;
  _fplaycdtrack(1, 2);
  _fdelay(200);
  logInt("busy", busy);
  logInt("start", _fmillisecs());
  _fend();
}
