/* 32 engine channels and the 33rd, and the order in which channel handles are
 * recycled. */
#include "audio_util.h"

void __MAIN(void) {
  int loop = _floadsound(S("loop.wav"));
  _floopsound(loop);
  int ch[33];
  int given = 0, distinct = 1;
  for (int i = 0; i < 32; i++) {
    ch[i] = _fplaysound(loop);
    given += ch[i] != 0;
    for (int j = 0; j < i; j++) distinct &= ch[i] != ch[j];
  }
  logInt("given", given);
  logInt("distinct", distinct);
  logInt("33rd", _fplaysound(loop));
  _fdelay(100);
  int playing = 0;
  for (int i = 0; i < 32; i++) playing += _fchannelplaying(ch[i]);
  logInt("looping", playing);

  _fstopchannel(ch[5]);
  logInt("stopped5", _fchannelplaying(ch[5]));
  logInt("reuses5", _fplaysound(loop) == ch[5]);
  for (int i = 0; i < 32; i++) _fstopchannel(ch[i]);

  int blip = _floadsound(S("blip.wav"));
  int a = _fplaysound(blip), b = _fplaysound(blip);
  logInt("twoChannels", a != 0 && b != 0 && a != b);
  logInt("firstIsPool0", a == ch[0]);
  waitEnd(a, 2000);
  waitEnd(b, 2000);
  logInt("recycled", _fplaysound(blip) == a);
  logText("done");
}
