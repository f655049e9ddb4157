/* Pitch, volume and pan of sounds at their next play, and of channels at once.
 * Each play is followed by a silence so the recording splits into segments. */
#include "audio_util.h"

static void playAndWait(int sound, int ms) {
  int ch = _fplaysound(sound);
  _fdelay(ms);
  _fstopchannel(ch);
  _fdelay(200);
}

void __MAIN(void) {
  int tone = _floadsound(S("tone440.wav"));
  logInt("loaded", tone != 0);
  _fdelay(200);
  playAndWait(tone, 300);             /* 1: 440 Hz, centre */
  _fsoundpitch(tone, 22050);
  playAndWait(tone, 300);             /* 2: 220 Hz */
  _fsoundpitch(tone, 44100);
  _fsoundvolume(tone, 0.5f);
  playAndWait(tone, 300);             /* 3: half volume */
  _fsoundvolume(tone, 0.25f);
  playAndWait(tone, 300);             /* 4: quarter volume */
  _fsoundvolume(tone, 1.0f);
  _fsoundpan(tone, -1.0f);
  playAndWait(tone, 300);             /* 5: full left */
  _fsoundpan(tone, 1.0f);
  playAndWait(tone, 300);             /* 6: full right */
  _fsoundpan(tone, 0.0f);

  /* 7: a channel changes at once; the sound's defaults only at the next play. */
  int ch = _fplaysound(tone);
  _fsoundpitch(tone, 22050);
  _fsoundpan(tone, 1.0f);
  _fdelay(300);
  _fchannelpitch(ch, 22050);
  _fchannelpan(ch, -1.0f);
  _fdelay(300);
  _fstopchannel(ch);
  _fdelay(200);
  playAndWait(tone, 300);             /* 8: 220 Hz, right */

  /* 9: volume 0 is silent, NaN and out-of-range values are clamped or ignored. */
  _fsoundvolume(tone, 0.0f);
  playAndWait(tone, 300);
  _fsoundvolume(tone, 1.0f / 0.0f);
  _fsoundpan(tone, 0.0f / 0.0f);
  _fsoundpitch(tone, 44100);
  playAndWait(tone, 300);             /* 9: 440 Hz, full volume, still right */
  logText("done");
}
