/* Benchmark module (run by bench/bench_audio, which supplies bench_mark): the
 * timed phases of the audio commands. */
#include "audio_util.h"

void bench_mark(int phase, int value);

static const char* const kMusic[] = {"m0.wav", "m1.wav", "m2.wav", "m3.flac", "m4.wav", "m5.flac"};

void __MAIN(void) {
  for (int i = 0; i < 15; i++) {
    bench_mark(10, 0);
    int s = _floadsound(S("ten.wav"));
    bench_mark(11, s);
    _ffreesound(s);
  }

  int loop = _floadsound(S("loop.wav"));
  _floopsound(loop);
  int busy[31];
  for (int i = 0; i < 31; i++) busy[i] = _fplaysound(loop);
  int blip = _floadsound(S("blip.wav"));
  bench_mark(20, 0);
  int last = 0;
  for (int i = 0; i < 100000; i++) {
    last = _fplaysound(blip);
    _fstopchannel(last);
  }
  bench_mark(21, last != 0);

  int playing = 0;
  bench_mark(30, 0);
  for (int i = 0; i < 1000000; i++) playing += _fchannelplaying(busy[i & 15]);
  bench_mark(31, playing);
  for (int i = 0; i < 31; i++) _fstopchannel(busy[i]);

  for (int i = 0; i < 6; i++) {
    bench_mark(40, i);
    int m = _fplaymusic(S(kMusic[i]));
    bench_mark(41, m != 0);
    _fdelay(150);  /* a game does not start music in a tight loop: the spare decoder is ready */
    _fstopchannel(m);
    _fdelay(50);
  }

  for (int i = 0; i < 31; i++) busy[i] = _fplaysound(loop);
  int m = _fplaymusic(S("m0.wav"));
  bench_mark(50, m != 0);
  _fdelay(10000);
  bench_mark(51, _fchannelplaying(m));
  _fstopchannel(m);
  for (int i = 0; i < 31; i++) _fstopchannel(busy[i]);
}
