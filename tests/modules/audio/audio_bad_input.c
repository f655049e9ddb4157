/* Damaged, absurd and missing files, huge names and values, made-up handles:
 * loads give 0 or something brief and stoppable, nothing crashes or hangs. */
#include "audio_util.h"

static const char* const kFiles[] = {
    "empty.wav", "text.wav", "folder.wav", "missing.wav", "/dev/zero", "/dev/urandom", "zero_rate.wav",
    "zero_channels.wav", "bad_tag.wav", "garbage.mod", "garbage.xm", "garbage.it", "garbage.s3m",
    "garbage.mid", "huge_claim.wav", "absurd_rate.wav", "six_channels.wav", "endless.wav", "fake.mp3",
    "fake.ogg", "fake.flac", "packed.xm"};

static char longName[10008];

void __MAIN(void) {
  for (unsigned i = 0; i < sizeof kFiles / sizeof kFiles[0]; i++) {
    int s = _floadsound(S(kFiles[i]));
    int m = _fplaymusic(S(kFiles[i]));
    _fdelay(20);
    _fstopchannel(m);
    logInt(kFiles[i], (s != 0) * 10 + (m != 0));
    _fchannelplaying(m);
    _ffreesound(s);
  }
  for (int i = 0; i < 10000; i++) longName[i] = 'a';
  longName[10000] = '.';
  longName[10001] = 'w';
  longName[10002] = 'a';
  longName[10003] = 'v';
  logInt("longName", _floadsound(S(longName)) * 10 + _fplaymusic(S(longName)));

  int tone = _floadsound(S("tone.wav"));
  float nan = 0.0f / 0.0f, inf = 1.0f / 0.0f;
  _fsoundvolume(tone, nan);
  _fsoundvolume(tone, -inf);
  _fsoundvolume(tone, 1e30f);
  _fsoundpan(tone, inf);
  _fsoundpan(tone, -1e30f);
  _fsoundpitch(tone, 0x7FFFFFFF);
  int ch = _fplaysound(tone);
  _fsoundpitch(tone, -5);
  _fsoundpitch(tone, 0);
  int ch2 = _fplaysound(tone);
  _fchannelpitch(ch, (int)0x80000000);
  _fchannelpitch(ch, 0x7FFFFFFF);
  _fchannelpitch(ch2, 1);
  _fchannelvolume(ch, nan);
  _fchannelvolume(ch, -inf);
  _fchannelpan(ch, nan);
  _fchannelpan(ch, 1e30f);
  logInt("played", ch != 0 && ch2 != 0);
  _fstopchannel(ch);
  _fstopchannel(ch2);
  for (int v = -3; v < 3; v++) {
    _fstopchannel(v);
    _fpausechannel(v);
    _fresumechannel(v);
    _fchannelplaying(v);
    _ffreesound(v);
  }
  _fstopchannel(tone);
  _ffreesound(tone);
  _ffreesound(tone);
  logText("done");
}
