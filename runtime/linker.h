// Reads a module container, copies its code into an executable block and
// resolves every fixup against the module's own symbols and the runtime table.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

class Runtime;

namespace kr {

struct LinkResult {
  enum Status { kLinked, kMalformed, kUnresolved } status = kMalformed;
  std::string missingName;     // the first unresolved target, for kUnresolved
  void (*entry)() = nullptr;   // offset 0 of the code block, for kLinked
  void* mapping = nullptr;     // the pages holding the block
  std::size_t mappingLength = 0;
};

// A run's code block is never freed; tools that link many modules (tests,
// benchmarks, fuzzers) give theirs back with this.
void releaseLinkedModule(LinkResult& linked);

// The runtime table: link name -> address, built through nextSym and symValue.
std::map<std::string, std::uint32_t> buildRuntimeTable(Runtime& runtime);

// Called by the fault handler with the faulting address: a write to a
// read-execute page of a linked block makes the page read-write; an
// instruction fetch from a read-write page makes it read-write-execute for
// good. True when the page was changed and the instruction can be retried.
bool fixPageFault(const void* address);

LinkResult linkModule(const std::uint8_t* data, std::size_t size,
                      const std::map<std::string, std::uint32_t>& runtimeTable);

}  // namespace kr
