// The runtime's string record as every command sees it. A string argument is
// owned by the command that receives it: it must release it (krStringDelete or
// krStringTake) or return it as its result.
//
// Records come from a pool and their text up to 511 bytes from pooled buffers,
// so creating, changing and dropping short strings costs no system allocation.
// Growing a string past what memory can hold raises "Out of memory".
#pragma once
#include <cstddef>
#include <string>

struct krString;

namespace kr {

krString* krStringNew(const char* bytes, std::size_t length);  // a new temporary
krString* krStringNew(const std::string& text);
void krStringDelete(krString* s);  // null is the empty string: nothing to do

// Copies the text and releases the record. Null gives "". A text too long to
// copy is released and raises "Out of memory".
std::string krStringTake(krString* s);

// Owns a string argument for the length of a command that only reads it in
// place (krStringData), releasing it on every way out, errors included.
class StringArgument {
 public:
  explicit StringArgument(krString* s) : s_(s) {}
  ~StringArgument() { krStringDelete(s_); }
  StringArgument(const StringArgument&) = delete;
  StringArgument& operator=(const StringArgument&) = delete;

 private:
  krString* s_;
};

// Borrowed views; null reads as "". The text is always NUL-terminated.
const char* krStringData(const krString* s);
std::size_t krStringLength(const krString* s);

// Replaces the text of a live record in place (commands that return their
// argument). The bytes may lie inside the record's own text.
void krStringAssign(krString* s, const char* bytes, std::size_t length);

// In-place fast paths for commands that return their modified argument.
// Sets the length, keeping the first min(old, new) bytes; the bytes after them
// are unspecified until written. Returns the writable text (NUL at [length]).
char* krStringResize(krString* s, std::size_t length);
// Writable view of the current text (length bytes plus the NUL).
char* krStringMutableData(krString* s);
void krStringAppend(krString* s, const char* bytes, std::size_t length);

// Number text forms: plain decimal integers; floats with six truncated decimals
// (1.5 gives "1.500000", 0.7f gives "0.699999"), "Infinity", "-Infinity", "NaN".
krString* krStringFromInt(int n);
krString* krStringFromFloat(float f);
constexpr std::size_t kNumberTextMax = 64;  // room for any form below, with the NUL
std::size_t formatInt(int n, char* out);     // returns the length written
std::size_t formatFloat(float f, char* out);
std::string floatText(float f);

}  // namespace kr
