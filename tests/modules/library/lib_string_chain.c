/* String commands chained as compiled code chains them: each result is the
 * next command's argument. */
#include "lib_support.h"

void __MAIN(void) {
  /* "  Hello, World  " -> trim -> upper -> replace -> mid */
  _fdebuglog(_fmid(_freplace(_fupper(_ftrim(S("  Hello, World \t\n"))), S("WORLD"), S("KORRIN")), 8, -1));
  _fdebuglog(_frset(_fleft(_flower(S("ABCDEF")), 3), 6));
  _fdebuglog(_flset(_fright(S("abcdef"), 2), 4));
  _fdebuglog(_fstring(_fchr(65 + 256), 3));
  _fdebuglog(_freplace(_fstring(S("ab"), 3), S("ba"), S("-")));
  _fdebuglog(_freplace(S("aab"), S("ab"), S("b")));
  _fdebuglog(_freplace(S("a.b"), S("."), S("..")));
  sayInt(_finstr(_fstring(S("xy"), 4), S("yx"), 3));
  sayInt(_flen(_fmid(_fhex(-1), 3, 4)));
  sayInt(_fasc(_fbin(1 << 31)));
  sayInt(_fasc(_fright(_fbin(1 << 31), 1)));
  sayInt(_flen(_fcurrentdate()));
  _fdebuglog(_fcurrenttime());
  _fdebuglog(_fcurrentdate());
}
