#include "runtime/command_table.h"

#include <cctype>

namespace kr {

extern const CommandGroup langGroup;
extern const CommandGroup mathGroup;
extern const CommandGroup stringGroup;
extern const CommandGroup filesGroup;
extern const CommandGroup inputGroup;
extern const CommandGroup audioGroup;
extern const CommandGroup graphicsGroup;
extern const CommandGroup netGroup;
extern const CommandGroup systemCommands;

void linkGroup(const CommandGroup& group, RegisterSymbol registerSymbol) {
  for (std::size_t i = 0; i < group.count; ++i)
    registerSymbol(group.entries[i].name,
                   static_cast<int>(reinterpret_cast<std::uintptr_t>(group.entries[i].address)));
}

const CommandGroup* const* commandGroups(std::size_t* count) {
  static const CommandGroup* const groups[] = {&langGroup,  &mathGroup,  &stringGroup,
                                               &filesGroup, &inputGroup, &audioGroup,
                                               &graphicsGroup, &netGroup};
  *count = sizeof(groups) / sizeof(groups[0]);
  return groups;
}

const CommandGroup& systemGroup() { return systemCommands; }

void linkAll(RegisterSymbol registerSymbol) {
  std::size_t count;
  const CommandGroup* const* groups = commandGroups(&count);
  for (std::size_t i = 0; i < count; ++i) linkGroup(*groups[i], registerSymbol);
  linkGroup(systemCommands, registerSymbol);
}

static bool isWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string linkName(const char* name) {
  if (name[0] == '_') return std::string("_") + name;
  const char* p = name;
  if (!std::isalnum(static_cast<unsigned char>(*p))) ++p;
  std::string out = "_f";
  for (; *p && isWordChar(*p); ++p) {
    char c = *p;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    out += c;
  }
  return out;
}

static bool isTypeChar(char c) { return c == '%' || c == '#' || c == '$'; }

static bool parseDefault(const char*& p, char type) {
  if (type == '$') {
    if (p[0] != '"' || p[1] != '"') return false;
    p += 2;
    return true;
  }
  if (*p == '-') ++p;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
  return true;
}

bool isValidSignature(const char* s) {
  const char* p = s;
  if (isTypeChar(*p)) ++p;
  if (!std::isalpha(static_cast<unsigned char>(*p))) return false;
  while (std::isalnum(static_cast<unsigned char>(*p))) ++p;
  bool seenDefault = false;
  while (*p) {
    char type = *p++;
    if (!isTypeChar(type)) return false;
    const char* nameStart = p;
    while ((*p >= 'a' && *p <= 'z') || std::isdigit(static_cast<unsigned char>(*p)) || *p == '_') ++p;
    if (p == nameStart) return false;
    if (*p == '=') {
      ++p;
      if (!parseDefault(p, type)) return false;
      seenDefault = true;
    } else if (seenDefault) {
      return false;  // parameters with defaults come last
    }
  }
  return true;
}

}  // namespace kr
