/* Writes 4 KB blocks into full/out.bin until the disk (or the file-size limit)
 * refuses one. After each block, SeekFile to the current position says whether
 * everything so far reached the file: the blocks it confirmed must all be
 * there when the file is read back. */
#include "../module_log.h"

#define BLOCK 4096

void __MAIN(void) {
  int bank = _fcreatebank(BLOCK);
  int f = _fwritefile(S("full/out.bin"));
  int confirmed = 0, block, i;
  if (!f) {
    logText("cannot create");
    return;
  }
  for (block = 0; block < 1000; ++block) {
    for (i = 0; i < BLOCK; i += 4) _fpokeint(bank, i, block * 7919 + i);
    _fwritebytes(bank, f, 0, BLOCK);
    if (!_fseekfile(f, _ffilepos(f))) break;
    confirmed = block + 1;
  }
  logInt("confirmed", confirmed);
  /* Once refused, writes are dropped and the handle stays usable. */
  _fwriteint(f, 12345);
  _fwriteline(f, S("more"));
  logInt("seek after refusal", _fseekfile(f, 0));
  _fclosefile(f);

  f = _freadfile(S("full/out.bin"));
  for (block = 0; block < confirmed; ++block) {
    _freadbytes(bank, f, 0, BLOCK);
    for (i = 0; i < BLOCK; i += 4)
      if (_fpeekint(bank, i) != block * 7919 + i) {
        logInt("damaged block", block);
        return;
      }
  }
  _fclosefile(f);
  logText("confirmed blocks intact");
  /* The disk is still full: a new file takes nothing, and nothing breaks. */
  f = _fwritefile(S("full/other.bin"));
  for (i = 0; i < 64; ++i) _fwritebytes(bank, f, 0, BLOCK);
  _fclosefile(f);
  logInt("other size ok", _ffilesize(S("full/other.bin")) <= 64 * BLOCK);
}
