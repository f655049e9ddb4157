// krrun --check: whether a file carries a module that krrun could run, and
// if not, why. Nothing of the module is executed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace kr {

struct ModuleCheck {
  bool runnable = false;
  std::string source;  // "module container", "Windows executable", "stand-alone game"
  std::string detail;  // what was found, or the first reason it cannot run
};

// Reads the container structure front to back and names the first fault:
// truncation, a symbol outside the code, a fixup field not wholly inside it, or
// a target in neither the module nor the runtime table. Runnable only when the
// linker accepts the module as well.
ModuleCheck checkContainer(const std::uint8_t* data, std::size_t size,
                           const std::map<std::string, std::uint32_t>& runtimeTable);

// The whole check of a file: a packed module behind a trailer, a Windows
// executable's RT_RCDATA 1111 resource, or the file itself as a container.
ModuleCheck checkModuleFile(const std::string& path,
                            const std::map<std::string, std::uint32_t>& runtimeTable);

}  // namespace kr
