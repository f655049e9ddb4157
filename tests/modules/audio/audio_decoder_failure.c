/* A decoder that crashes or hangs ends its music channel; the game goes on and
 * the next PlayMusic works. kill.sh signals the decoder that has the file open. */
#include "audio_util.h"

void __MAIN(void) {
  int m = _fplaymusic(S("long.wav"));
  _fdelay(300);
  _fexecfile(S("sh kill.sh SEGV long.wav $PPID"));
  logInt("crashEnded", waitEnd(m, 3000) < 3000);
  int next = _fplaymusic(S("short.wav"));
  logInt("next", next != 0 && _fchannelplaying(next));
  logInt("nextEnded", waitEnd(next, 3000) < 3000);

  int hung = _fplaymusic(S("hang.wav"));
  _fdelay(300);
  _fexecfile(S("sh kill.sh STOP hang.wav $PPID"));
  int took = waitEnd(hung, 8000);
  logInt("hangEnded", took < 8000);
  logInt("again", _fplaymusic(S("short.wav")) == next && _fchannelplaying(next));
  logInt("againEnded", waitEnd(next, 3000) < 3000);
  logInt("replayed", _fplaymusic(S("long.wav")) == m && _fchannelplaying(m));
  logText("done");
}
