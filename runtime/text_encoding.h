// Programs hold text as Windows-1252 bytes; SDL and terminals want UTF-8.
// Every text leaving the runtime for either goes through this one routine.
#pragma once
#include <cstddef>
#include <string>

namespace kr {

// UTF-8 for n bytes of Windows-1252. The five bytes that code page leaves
// undefined become the C1 controls of the same value, so no byte is lost.
// Throws std::bad_alloc when memory runs out.
std::string windows1252ToUtf8(const char* text, std::size_t n);
inline std::string windows1252ToUtf8(const char* text) {
  return windows1252ToUtf8(text, std::char_traits<char>::length(text));
}

}  // namespace kr
