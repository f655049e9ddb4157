// The runtime's commands as the compiler sees them: parsed from the signature
// strings of the runtime's table.
#pragma once
#include <unordered_map>
#include <string>
#include <vector>

#include "compiler/ast.h"

namespace krc {

struct CommandParam {
  Kind kind = Kind::Int;
  std::string name;
  bool hasDefault = false;
  int defaultValue = 0;  // strings default to ""
};

struct Command {
  std::string name;      // as spelled in the signature ("LoadAnimImage")
  std::string linkName;  // "_floadanimimage"
  Kind result = Kind::None;
  std::vector<CommandParam> params;
};

class CommandTable {
 public:
  // Adds one registered name; support symbols (leading underscore) and
  // malformed signatures are skipped. A later signature of the same name wins.
  void addSignature(const std::string& signature);
  const Command* find(const std::string& lowerName) const;
  std::size_t size() const { return commands_.size(); }

 private:
  std::unordered_map<std::string, Command> commands_;
};

// Parses one signature; false when it is not a well-formed command signature.
bool parseSignature(const std::string& signature, Command& out);

}  // namespace krc
