// Builds module containers byte by byte for tests that need exact or broken files.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/module_format.h"

namespace krtest {

struct ContainerBuilder : kr::ModuleContainer {
  std::string bytes() const { return kr::ModuleContainer::bytes<std::string>(); }
  static void put32(std::string& out, std::uint32_t v) { kr::putContainerWord(out, v); }
};

// A hand-made module: DebugLog "hi", reached through one absolute fixup (the
// text's address) and two relative ones (the calls).
inline ContainerBuilder helloContainer() {
  ContainerBuilder m;
  m.code = {0x68, 0, 0, 0, 0,              // push text
            0xE8, 0xFC, 0xFF, 0xFF, 0xFF,  // call __krStrConst
            0x50,                          // push eax
            0xE8, 0xFC, 0xFF, 0xFF, 0xFF,  // call _fdebuglog
            0x83, 0xC4, 0x08,              // add esp, 8
            0xC3,                          // ret
            'h', 'i', 0};
  m.symbols = {{"__MAIN", 0}, {"text", 20}};
  m.relative = {{"__krStrConst", 6}, {"_fdebuglog", 12}};
  m.absolute = {{"text", 1}};
  return m;
}

}  // namespace krtest
