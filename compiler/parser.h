#pragma once
#include <functional>
#include <string>
#include <vector>

#include "compiler/ast.h"
#include "compiler/lexer.h"

namespace krc {

// Parses the whole token stream. isCommand tells whether a name is a runtime
// command (so that `Name arg, arg` reads as a call); arrays and functions of
// the program are found by a scan before parsing.
Program parseProgram(const std::vector<Token>& tokens, const std::function<bool(const std::string&)>& isCommand,
                     Diagnostics& diag);

}  // namespace krc
