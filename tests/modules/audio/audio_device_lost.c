/* The output device goes away while a sound loops and music plays (its output
 * file fills up): the game goes on, every command works and does nothing. */
#include "audio_util.h"

void __MAIN(void) {
  int loop = _floadsound(S("loop.wav"));
  _floopsound(loop);
  int ch = _fplaysound(loop);
  int m = _fplaymusic(S("long.wav"));
  int cd = _fplaycdtrack(1, 2);
  logInt("started", loop && ch && m && _fchannelplaying(ch) && _fchannelplaying(m));

  /* A looping sound only stops when the device is gone. */
  logInt("soundEnded", waitEnd(ch, 8000) < 8000);
  logInt("musicEnded", waitEnd(m, 1000) < 1000);

  logInt("play", _fplaysound(loop));
  logInt("load", _floadsound(S("loop.wav")));
  logInt("cachedMusic", _fplaymusic(S("long.wav")));
  logInt("newMusic", _fplaymusic(S("other.wav")));
  logInt("cd", _fplaycdtrack(1, 3) == cd);
  logInt("cdPlaying", _fchannelplaying(cd));
  _fsoundvolume(loop, 0.5f);
  _fsoundpan(loop, -1.0f);
  _fsoundpitch(loop, 22050);
  for (int i = 0; i < 3; i++) {
    int c = i == 0 ? ch : i == 1 ? m : cd;
    _fpausechannel(c);
    _fresumechannel(c);
    _fchannelvolume(c, 0.5f);
    _fchannelpan(c, 1.0f);
    _fchannelpitch(c, 11025);
    _fstopchannel(c);
  }
  logInt("channels", _fchannelplaying(ch) + _fchannelplaying(m));
  _ffreesound(loop);
  logText("done");
}
