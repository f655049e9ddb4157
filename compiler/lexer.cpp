#include "compiler/lexer.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace krc {
namespace {

bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class Lexer {
 public:
  Lexer(const std::string& text, int file, Diagnostics& diag) : s_(text), file_(file), diag_(diag) {}

  void run(std::vector<Token>& out) {
    while (i_ < s_.size()) {
      char c = s_[i_];
      bool glued = i_ > 0 && !std::isspace(static_cast<unsigned char>(s_[i_ - 1]));
      if (c == '\n') {
        push(out, Tok::Newline, "\n", glued);
        advance();
        continue;
      }
      if (std::isspace(static_cast<unsigned char>(c))) {
        advance();
        continue;
      }
      if (c == ';') {
        while (i_ < s_.size() && s_[i_] != '\n') advance();
        continue;
      }
      SourcePos start = here();
      if (c == ':') {
        push(out, Tok::Newline, ":", glued);
        advance();
      } else if (isNameStart(c)) {
        std::size_t b = i_;
        while (i_ < s_.size() && isNameChar(s_[i_])) advance();
        out.push_back(make(Tok::Ident, lower(s_.substr(b, i_ - b)), glued, start));
      } else if (isDigit(c) || (c == '.' && i_ + 1 < s_.size() && isDigit(s_[i_ + 1]))) {
        number(out, glued, start);
      } else if (c == '"') {
        advance();
        std::size_t b = i_;
        while (i_ < s_.size() && s_[i_] != '"' && s_[i_] != '\n') advance();
        if (i_ >= s_.size() || s_[i_] != '"') {
          diag_.error(start, "string literal has no closing quote");
        } else {
          out.push_back(make(Tok::String, s_.substr(b, i_ - b), glued, start));
          advance();
        }
      } else if (c == '$' && !afterName(out, glued) && i_ + 1 < s_.size() && isHex(s_[i_ + 1])) {
        radix(out, 16, glued, start);
      } else if (c == '%' && !afterName(out, glued) && i_ + 1 < s_.size() && (s_[i_ + 1] == '0' || s_[i_ + 1] == '1')) {
        radix(out, 2, glued, start);
      } else if ((c == '<' || c == '>') && i_ + 1 < s_.size() && (s_[i_ + 1] == '=' || (c == '<' && s_[i_ + 1] == '>'))) {
        std::string op = s_.substr(i_, 2);
        advance();
        advance();
        out.push_back(make(Tok::Op, op, glued, start));
      } else if (c == '=' && i_ + 1 < s_.size() && (s_[i_ + 1] == '<' || s_[i_ + 1] == '>')) {
        std::string op = s_[i_ + 1] == '<' ? "<=" : ">=";
        advance();
        advance();
        out.push_back(make(Tok::Op, op, glued, start));
      } else if (c != 0 && std::strchr("+-*/^=<>(),\\.[]%#$~", c)) {
        advance();
        out.push_back(make(Tok::Op, std::string(1, c), glued, start));
      } else {
        diag_.error(start, std::string("unexpected character '") + printable(c) + "'");
        advance();
      }
    }
  }

 private:
  static std::string printable(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 32 && u < 127) return std::string(1, c);
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", u);
    return buf;
  }
  // A type suffix follows a name or a closing bracket directly.
  static bool afterName(const std::vector<Token>& out, bool glued) {
    if (!glued || out.empty()) return false;
    const Token& p = out.back();
    return p.kind == Tok::Ident || (p.kind == Tok::Op && (p.text == ")" || p.text == "]"));
  }
  SourcePos here() const { return SourcePos{file_, line_, col_}; }
  void advance() {
    if (s_[i_] == '\n') {
      ++line_;
      col_ = 1;
    } else {
      ++col_;
    }
    ++i_;
  }
  Token make(Tok kind, std::string text, bool glued, SourcePos pos) {
    Token t;
    t.kind = kind;
    t.text = std::move(text);
    t.glued = glued;
    t.pos = pos;
    return t;
  }
  void push(std::vector<Token>& out, Tok kind, const char* text, bool glued) {
    out.push_back(make(kind, text, glued, here()));
  }
  void number(std::vector<Token>& out, bool glued, SourcePos start) {
    std::size_t b = i_;
    bool isFloat = false;
    while (i_ < s_.size() && isDigit(s_[i_])) advance();
    if (i_ < s_.size() && s_[i_] == '.' && !(i_ + 1 < s_.size() && isNameStart(s_[i_ + 1]))) {
      isFloat = true;
      advance();
      while (i_ < s_.size() && isDigit(s_[i_])) advance();
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      std::size_t save = i_;
      int line = line_, col = col_;
      advance();
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) advance();
      if (i_ < s_.size() && isDigit(s_[i_])) {
        isFloat = true;
        while (i_ < s_.size() && isDigit(s_[i_])) advance();
      } else {
        i_ = save, line_ = line, col_ = col;
      }
    }
    std::string text = s_.substr(b, i_ - b);
    Token t = make(isFloat ? Tok::Float : Tok::Int, text, glued, start);
    if (isFloat) {
      t.fval = static_cast<float>(std::strtod(text.c_str(), nullptr));
      if (std::isinf(t.fval)) diag_.error(start, "number too large: " + text);
    } else {
      unsigned long long v = 0;
      for (char d : text) {
        v = v * 10 + static_cast<unsigned>(d - '0');
        if (v > 0xFFFFFFFFull) break;
      }
      if (v > 0xFFFFFFFFull) diag_.error(start, "integer too large: " + text);
      t.ival = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    }
    out.push_back(std::move(t));
  }
  void radix(std::vector<Token>& out, int base, bool glued, SourcePos start) {
    advance();
    unsigned long long v = 0;
    while (i_ < s_.size() && (base == 16 ? isHex(s_[i_]) : (s_[i_] == '0' || s_[i_] == '1'))) {
      char d = static_cast<char>(std::tolower(static_cast<unsigned char>(s_[i_])));
      v = v * static_cast<unsigned>(base) + static_cast<unsigned>(isDigit(d) ? d - '0' : d - 'a' + 10);
      if (v > 0xFFFFFFFFull) v = 0x100000000ull;
      advance();
    }
    if (v > 0xFFFFFFFFull) diag_.error(start, "integer too large");
    Token t = make(Tok::Int, base == 16 ? "$" : "%", glued, start);
    t.ival = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    out.push_back(std::move(t));
  }

  const std::string& s_;
  std::size_t i_ = 0;
  int file_;
  int line_ = 1, col_ = 1;
  Diagnostics& diag_;
};

std::string directoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool readText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return true;
}

constexpr int kMaxIncludeDepth = 32;

void lexFile(const std::string& name, const std::string& text, Diagnostics& diag, std::set<std::string>& seen,
             int depth, bool fromDisk, std::vector<Token>& out) {
  int file = diag.addFile(name);
  // Most files include nothing: their tokens go straight to the output.
  const std::size_t first = out.size();
  out.reserve(first + text.size() / 4 + 16);
  Lexer(text, file, diag).run(out);
  bool includes = false;
  for (std::size_t i = first; i < out.size() && !includes; ++i)
    includes = out[i].kind == Tok::Ident && out[i].text == "include" && (i == first || out[i - 1].kind == Tok::Newline);
  std::vector<Token> tokens;
  if (includes) {
    tokens.assign(std::make_move_iterator(out.begin() + static_cast<long>(first)), std::make_move_iterator(out.end()));
    out.resize(first);
  }
  const int lastLine = out.size() > first ? out.back().pos.line : tokens.empty() ? 1 : tokens.back().pos.line;
  bool lineStart = true;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    Token& t = tokens[i];
    if (lineStart && t.kind == Tok::Ident && t.text == "include") {
      if (i + 1 >= tokens.size() || tokens[i + 1].kind != Tok::String) {
        diag.error(t.pos, "Include needs a file name in quotes");
        continue;
      }
      const Token& path = tokens[++i];
      std::string full = path.text.empty() || path.text[0] == '/' ? path.text : directoryOf(name) + path.text;
      std::string included;
      if (!fromDisk) {
        diag.error(path.pos, "cannot include files here");
      } else if (depth >= kMaxIncludeDepth) {
        diag.error(path.pos, "includes nested too deeply");
      } else if (seen.insert(full).second) {
        if (!readText(full, included))
          diag.error(path.pos, "cannot read included file '" + path.text + "'");
        else
          lexFile(full, included, diag, seen, depth + 1, true, out);
      }
      lineStart = false;
      continue;
    }
    lineStart = t.kind == Tok::Newline;
    out.push_back(std::move(tokens[i]));
  }
  Token nl;
  nl.kind = Tok::Newline;
  nl.text = "\n";
  nl.pos = SourcePos{file, lastLine, 1};
  out.push_back(nl);
}

}  // namespace

std::vector<Token> lexProgram(const std::string& mainFile, const std::string& mainText, Diagnostics& diag) {
  std::vector<Token> out;
  std::set<std::string> seen{mainFile};
  lexFile(mainFile, mainText, diag, seen, 0, true, out);
  Token end;
  end.pos = out.empty() ? SourcePos{0, 1, 1} : out.back().pos;
  out.push_back(end);
  return out;
}

std::vector<Token> lexText(const std::string& fileName, const std::string& text, Diagnostics& diag) {
  std::vector<Token> out;
  std::set<std::string> seen{fileName};
  lexFile(fileName, text, diag, seen, 0, false, out);
  Token end;
  end.pos = out.empty() ? SourcePos{0, 1, 1} : out.back().pos;
  out.push_back(end);
  return out;
}

}  // namespace krc
