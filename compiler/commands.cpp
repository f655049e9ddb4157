#include "compiler/commands.h"

#include <cctype>
#include <cstdlib>

namespace krc {
namespace {

Kind kindOf(char c) {
  switch (c) {
    case '%': return Kind::Int;
    case '#': return Kind::Float;
    case '$': return Kind::Str;
    default: return Kind::None;
  }
}

bool nameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

}  // namespace

bool parseSignature(const std::string& s, Command& out) {
  out = Command();
  std::size_t i = 0;
  if (s.empty() || s[0] == '_') return false;
  if (kindOf(s[0]) != Kind::None) out.result = kindOf(s[i++]);
  std::size_t start = i;
  while (i < s.size() && nameChar(s[i])) ++i;
  if (i == start) return false;
  out.name = s.substr(start, i - start);
  out.linkName = "_f";
  for (char c : out.name) out.linkName += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  bool defaults = false;
  while (i < s.size()) {
    CommandParam p;
    p.kind = kindOf(s[i++]);
    if (p.kind == Kind::None) return false;
    start = i;
    while (i < s.size() && nameChar(s[i])) ++i;
    if (i == start) return false;
    p.name = s.substr(start, i - start);
    if (i < s.size() && s[i] == '=') {
      ++i;
      p.hasDefault = true;
      if (s.compare(i, 2, "\"\"") == 0) {
        if (p.kind != Kind::Str) return false;
        i += 2;
      } else {
        start = i;
        if (i < s.size() && s[i] == '-') ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        if (i == start || p.kind == Kind::Str) return false;
        p.defaultValue = std::atoi(s.substr(start, i - start).c_str());
      }
    } else if (defaults) {
      return false;  // a parameter without default after one with
    }
    defaults = defaults || p.hasDefault;
    out.params.push_back(p);
  }
  return true;
}

void CommandTable::addSignature(const std::string& signature) {
  Command c;
  if (!parseSignature(signature, c)) return;
  std::string key = c.linkName.substr(2);
  commands_[key] = std::move(c);
}

const Command* CommandTable::find(const std::string& lowerName) const {
  auto it = commands_.find(lowerName);
  return it == commands_.end() ? nullptr : &it->second;
}

}  // namespace krc
