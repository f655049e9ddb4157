// Source positions and compile errors ("file:line:column: message").
#pragma once
#include <string>
#include <vector>

namespace krc {

struct SourcePos {
  int file = 0;  // index into Diagnostics::files
  int line = 0;
  int col = 0;
};

class Diagnostics {
 public:
  static constexpr int kMaxErrors = 50;

  std::vector<std::string> files;  // file names as given, index = SourcePos::file
  std::vector<std::string> messages;

  int addFile(const std::string& name) {
    files.push_back(name);
    return static_cast<int>(files.size()) - 1;
  }
  void error(const SourcePos& pos, const std::string& message) {
    if (messages.size() > kMaxErrors) return;
    if (messages.size() == kMaxErrors) {
      messages.push_back(where(pos) + ": too many errors, stopping");
      return;
    }
    messages.push_back(where(pos) + ": " + message);
  }
  bool failed() const { return !messages.empty(); }
  bool full() const { return messages.size() > kMaxErrors; }
  std::string where(const SourcePos& pos) const {
    std::string file = pos.file >= 0 && pos.file < static_cast<int>(files.size()) ? files[pos.file] : "?";
    return file + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.col);
  }
};

}  // namespace krc
