// libFuzzer target for the module readers: PE resource lookup, then the
// container parser and linker. Build and run with tools/fuzz/run.sh.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "runtime/linker.h"
#include "runtime/module_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::map<std::string, std::uint32_t> table = {{"_fdebuglog", 0x1000}, {"__krStrConst", 0x2000}};
  std::size_t offset = 0, length = size;
  if (kr::findPeResource(data, size, kr::kModuleResourceType, kr::kModuleResourceId, offset, length)) {
    data += offset;
    size = length;
  }
  kr::LinkResult linked = kr::linkModule(data, size, table);
  kr::releaseLinkedModule(linked);
  return 0;
}
