// Placeholder string records until the pooled implementation lands.
#include <cstring>

#include "lang/kr_string.h"

struct krString {
  std::string text;
  krString* next;
  krString* prev;
};

namespace kr {

krString* krStringNew(const char* bytes, std::size_t length) {
  return new krString{std::string(bytes, length), nullptr, nullptr};
}
krString* krStringNew(const std::string& text) { return krStringNew(text.data(), text.size()); }
void krStringDelete(krString* s) { delete s; }
std::string krStringTake(krString* s) {
  if (!s) return std::string();
  std::string t = std::move(s->text);
  delete s;
  return t;
}
const char* krStringData(const krString* s) { return s ? s->text.c_str() : ""; }
std::size_t krStringLength(const krString* s) { return s ? s->text.size() : 0; }
void krStringAssign(krString* s, const char* bytes, std::size_t length) { s->text.assign(bytes, length); }

}  // namespace kr
