/* Loads the pictures the test wrote beside it, good and bad, and reports what
 * came of each. */
#include "img_util.h"

static const char* const badFiles[] = {"missing.png", "empty.bmp", "text.bmp", "folder.png", "pic.tga",
                                       "pic.gif",     "pic.tif",   "cut.png",  "huge.bmp",   "negative.bmp",
                                       "zero.bmp",    "seven.bmp", "bomb.png", "cut.jpg",    "noname"};

void __MAIN(void) {
  int i, img, before, after;
  _fgraphics(320, 200, 32, 2);

  img = _floadimage(S("GFX\\Player.BMP"));
  logValue("player_w", _fimagewidth(img));
  logValue("player_h", _fimageheight(img));
  logPixel("player_0_0", img, 0, 0, 0);
  logPixel("player_4_2", img, 0, 4, 2);
  img = _floadimage(S("fake.bmp"));
  logValue("fake_w", _fimagewidth(img));
  logPixel("fake_1_1", img, 0, 1, 1);
  img = _floadimage(S("photo.jpg"));
  logValue("photo_w", _fimagewidth(img));
  logPixel("photo_31_15", img, 0, 31, 15);
  logPixel("photo_0_0", img, 0, 0, 0);

  before = _favailvidmem();
  for (i = 0; i < (int)(sizeof badFiles / sizeof badFiles[0]); ++i) {
    logValue(badFiles[i], _floadimage(S(badFiles[i])));
    logValue(badFiles[i], _floadanimimage(S(badFiles[i]), 4, 4, 0, 1));
  }
  after = _favailvidmem();
  logValue("vidmem_kept", before == after);

  /* Buffers: a bad file leaves the buffer untouched. */
  _fsetbuffer(_fbackbuffer());
  _fclscolor(1, 2, 3);
  _fcls();
  logValue("loadbuffer_bad", _floadbuffer(_fbackbuffer(), S("text.bmp")));
  logValue("untouched", _freadpixel(5, 5, 0));
  _forigin(30, 40);
  logValue("loadbuffer_strip", _floadbuffer(_fbackbuffer(), S("strip.bmp")));
  _forigin(0, 0);
  _fsavebuffer(_fbackbuffer(), S("loadbuffer.bmp"));

  /* Saving */
  img = _floadimage(S("gfx/player.bmp"));
  logValue("save", _fsaveimage(img, S("saved.bmp"), 0));
  logValue("save_missing_folder", _fsaveimage(img, S("nowhere\\saved.bmp"), 0));
}
