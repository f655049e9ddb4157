// libFuzzer target for the compiler: any bytes as a program, compiled with
// and without tracing. Build and run with tools/fuzz/run-krc.sh.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/compiler.h"

namespace {

const krc::CommandTable& commands() {
  static krc::CommandTable table = [] {
    krc::CommandTable t;
    for (const char* s : {"End", "Stop", "DebugLog$text", "%MilliSecs", "$Mid$string%start%count=-1",
                          "#Rnd#from#to=0", "%Len$string", "Print$string=\"\"", "Graphics%width%height%depth=0%mode=0",
                          "RuntimeStats", "%Instr$string$find%from=1", "Rect%x%y%width%height%solid=1"})
      t.addSignature(s);
    return t;
  }();
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string source(reinterpret_cast<const char*>(data), size);
  for (bool debug : {false, true}) {
    krc::Diagnostics diag;
    krc::CompileOptions options;
    options.debug = debug;
    options.readIncludes = false;
    std::vector<std::uint8_t> module;
    krc::compileSource("fuzz.kb", source, commands(), options, diag, module);
  }
  return 0;
}
