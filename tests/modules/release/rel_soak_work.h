/* One frame of a game's everyday work, for the soak tests: images made, drawn
 * into, saved, loaded and freed, a bank, a file written and read back, text
 * in a font loaded now and then, strings built and dropped. A steady game
 * ends each frame holding what it held before; rel_soak_leak keeps a bank. */
#include "../module_log.h"

static krString* gScore;

static void soakFrame(int frame) {
  int image = _fcreateimage(32, 32, 2), loaded, bank, file;
  _fsetbuffer(_fimagebuffer(image, 1));
  _fcolor(frame & 255, 80, 160);
  _frect(4, 4, 24, 24, 1);
  if (frame % 20 == 0) {
    _fsavebuffer(_fimagebuffer(image, 1), S("frame.bmp"));
    loaded = _floadimage(S("frame.bmp"));
    _ffreeimage(loaded);
  }
  _fsetbuffer(_fbackbuffer());
  _fcls();
  _fdrawimage(image, frame % 280, 100, 1);
  _ffreeimage(image);

  bank = _fcreatebank(1024 + frame % 512);
  _ffreebank(bank);

  if (frame % 10 == 0) {
    file = _fwritefile(S("scores.txt"));
    _fwriteline(file, __krStrConcat(S("score "), __krStrFromInt(frame)));
    _fclosefile(file);
    file = _freadfile(S("scores.txt"));
    __krStrStore(&gScore, _freadline(file));
    _fclosefile(file);
  }
  if (frame % 60 == 0) {
    int font = _floadfont(S("courier"), 12 + frame % 5, 0, 0, 0);
    _fsetfont(font);
    _ftext(0, 0, __krStrLoad(&gScore), 0, 0);
    _ffreefont(font);
  }
  _fflip(0);
  _fdelay(15);
}
