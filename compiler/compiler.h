// The compiler's entry: source text to a module container.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/commands.h"
#include "compiler/diagnostics.h"

namespace krc {

struct CompileOptions {
  bool debug = false;      // trace hooks before each statement and around functions
  bool readIncludes = true;  // false: Include is an error (fuzzing, tests)
};

// Compiles the program in text (read from fileName); on success fills module
// with the container bytes. Errors go to diag; false when there were any.
bool compileSource(const std::string& fileName, const std::string& text, const CommandTable& commands,
                   const CompileOptions& options, Diagnostics& diag, std::vector<std::uint8_t>& module);

}  // namespace krc
