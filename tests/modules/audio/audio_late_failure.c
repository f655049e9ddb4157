/* PlayMusic returns at once whatever the decoder then makes of the file: a
 * song whose decoder never answers and a stream whose header is damaged past
 * its first bytes both play at first and end later; the game never waits. */
#include "audio_util.h"

void __MAIN(void) {
  int a = _fplaymusic(S("a.wav"));
  _fdelay(1000); /* a spare decoder is running by now */
  _fstopchannel(a);
  _fexecfile(S("sh stop.sh STOP $PPID"));

  int start = _fmillisecs();
  int song = _fplaymusic(S("tune.mod"));
  int broken = _fplaymusic(S("broken.ogg"));
  logInt("quick", _fmillisecs() - start < 200);
  logInt("playing", song && broken && _fchannelplaying(song) && _fchannelplaying(broken));
  logInt("brokenEnded", waitEnd(broken, 3000) < 3000);
  logInt("songEnded", waitEnd(song, 8000) < 8000);
  logInt("again", _fplaymusic(S("tune.mod")) == song && _fchannelplaying(song));
  logInt("againEnded", waitEnd(song, 4000) < 4000);
  logText("done");
}
