/* Pause is silence and resume goes on where it stopped; a looped sound has no
 * gap at its seam. */
#include "audio_util.h"

void __MAIN(void) {
  int tone = _floadsound(S("second.wav"));
  int loop = _floadsound(S("cycle.wav"));
  _floopsound(loop);
  _fdelay(200);
  int ch = _fplaysound(tone);
  _fdelay(300);
  _fpausechannel(ch);
  _fdelay(400);
  logInt("pausedPlaying", _fchannelplaying(ch));
  _fresumechannel(ch);
  logInt("ended", waitEnd(ch, 3000) < 3000);
  _fdelay(300);
  ch = _fplaysound(loop);
  _fdelay(600);
  logInt("looping", _fchannelplaying(ch));
  _fstopchannel(ch);
  logInt("stopped", _fchannelplaying(ch));
  _fdelay(200);
  logText("done");
}
