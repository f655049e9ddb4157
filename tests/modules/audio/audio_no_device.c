/* Without any sound device every command works and does nothing. */
#include "audio_util.h"

void __MAIN(void) {
  int s = _floadsound(S("tone.wav"));
  logInt("load", s);
  logInt("music", _fplaymusic(S("tone.wav")));
  int cd = _fplaycdtrack(1, 1);
  logInt("cdPlaying", _fchannelplaying(cd));
  _fchannelvolume(cd, 0.5f);
  _fstopchannel(cd);
  _ffreesound(s);
  logText("done");
}
