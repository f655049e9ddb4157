// The runtime's string record as every command sees it. A string argument is
// owned by the command that receives it: it must release it (krStringDelete or
// krStringTake) or return it as its result.
#pragma once
#include <cstddef>
#include <string>

struct krString;

namespace kr {

krString* krStringNew(const char* bytes, std::size_t length);  // a new temporary
krString* krStringNew(const std::string& text);
void krStringDelete(krString* s);  // null is the empty string: nothing to do

// Copies the text and releases the record. Null gives "".
std::string krStringTake(krString* s);

// Borrowed views; null reads as "". The text is always NUL-terminated.
const char* krStringData(const krString* s);
std::size_t krStringLength(const krString* s);

// Replaces the text of a live record in place (commands that return their argument).
void krStringAssign(krString* s, const char* bytes, std::size_t length);

}  // namespace kr
