// The string commands. Positions are 1-based byte positions; there is no
// character-set awareness. Every string argument is owned by the command: it is
// released, or modified in place and returned as the result.
#pragma once
#include <cstddef>

struct krString;

namespace kr {

// The longest text a command builds: Len must be able to report it.
constexpr std::size_t kMaxStringLength = 0x7FFFFFFF;

krString* strRepeat(krString* s, int repeat);  // String
krString* strLeft(krString* s, int count);
krString* strRight(krString* s, int count);
krString* strReplace(krString* s, krString* from, krString* to);
int strInstr(krString* s, krString* find, int from);
krString* strMid(krString* s, int start, int count);
krString* strUpper(krString* s);
krString* strLower(krString* s);
krString* strTrim(krString* s);
krString* strLSet(krString* s, int size);
krString* strRSet(krString* s, int size);
krString* strChr(int ascii);
int strAsc(krString* s);
int strLen(krString* s);
krString* strHex(int value);
krString* strBin(int value);
krString* strCurrentDate();
krString* strCurrentTime();

}  // namespace kr
