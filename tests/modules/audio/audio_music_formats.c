/* Streams in every format and letter case, a tracker song and a MIDI file,
 * each played to its end. */
#include "audio_util.h"

static void playToEnd(const char* name) {
  int m = _fplaymusic(S(name));
  logInt(name, m != 0);
  logInt("playing", _fchannelplaying(m));
  int took = waitEnd(m, 4000);
  logInt("ended", !_fchannelplaying(m) && took < 4000);
  _fdelay(200);
}

void __MAIN(void) {
  _fdelay(200);
  playToEnd("music.wav");
  playToEnd("MUSIC.WAV");
  playToEnd("music\\song.ogg");
  playToEnd("Song.FLAC");
  playToEnd("tune.MP3");
  playToEnd("tune.mod");
  playToEnd("note.mid");
  logText("done");
}
