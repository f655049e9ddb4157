/* The music cache, retries after a failed load, pause and resume of music,
 * and handles that must not steer anything else. */
#include "audio_util.h"

void __MAIN(void) {
  int a = _fplaymusic(S("a.wav"));
  int again = _fplaymusic(S("a.wav"));
  logInt("cached", a != 0 && a == again);
  logInt("playing", _fchannelplaying(a));

  logInt("missing", _fplaymusic(S("late.wav")));
  _fcopyfile(S("a.wav"), S("late.wav"));
  int late = _fplaymusic(S("late.wav"));
  logInt("retried", late != 0 && late != a);
  _fstopchannel(late);
  logInt("stopped", _fchannelplaying(late));

  /* Paused music still counts as playing and does not run out. */
  _fpausechannel(a);
  _fdelay(600);
  logInt("paused", _fchannelplaying(a));
  _fresumechannel(a);
  logInt("ended", waitEnd(a, 3000) < 3000);

  /* The ended stream's engine channel goes to a sound; the music handle is
   * stale and must not touch it. */
  int loop = _floadsound(S("loop.wav"));
  _floopsound(loop);
  int ch = _fplaysound(loop);
  _fstopchannel(a);
  _fpausechannel(a);
  _fchannelvolume(a, 0.0f);
  logInt("soundPlays", _fchannelplaying(ch));
  logInt("musicIdle", _fchannelplaying(a));

  /* A sound handle used as a channel, and made-up values, do nothing. */
  _fstopchannel(loop);
  logInt("soundAsChannel", _fchannelplaying(loop));
  _fstopchannel(12345);
  _fchannelpitch(-1, 1);
  _fchannelvolume(ch + 4, 1.0f);
  logInt("madeUp", _fchannelplaying(0x7FFFFFF0));
  logInt("stillPlays", _fchannelplaying(ch));

  /* FreeSound stops what plays it first. */
  _ffreesound(loop);
  logInt("freed", _fchannelplaying(ch));
  _ffreesound(loop);

  /* Pitch and pan mean nothing to a song; its volume does. */
  int song = _fplaymusic(S("note.mid"));
  _fchannelpitch(song, 1000);
  _fchannelpan(song, -1.0f);
  _fchannelvolume(song, 0.5f);
  logInt("song", _fchannelplaying(song));
  _fstopchannel(song);
  logInt("songStopped", _fchannelplaying(song));
  logText("done");
}
