// Tokens of the dialect. Keywords and names are case-insensitive: the lexer
// keeps names in lower case and the original spelling only for messages.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/diagnostics.h"

namespace krc {

enum class Tok {
  End,        // end of input
  Newline,    // end of a statement: a line break or ':'
  Ident,      // a name (lower case in text)
  Int,
  Float,
  String,
  Op,         // punctuation and operators, text holds it: + - * / ^ = < > <= >= <> ( ) , \ . [ ] % # $
};

struct Token {
  Tok kind = Tok::End;
  std::string text;      // lower-case name, operator, or string contents
  std::int32_t ival = 0;
  float fval = 0;
  bool glued = false;    // no space between this token and the previous one
  SourcePos pos;
};

// Reads every file from the main one, splicing each `Include "file"` line in
// place (a file is included once). Lexical errors go to the diagnostics.
std::vector<Token> lexProgram(const std::string& mainFile, const std::string& mainText, Diagnostics& diag);

// The same for one text with no includes resolved from disk (tests, fuzzing).
std::vector<Token> lexText(const std::string& fileName, const std::string& text, Diagnostics& diag);

}  // namespace krc
