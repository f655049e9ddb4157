// Command groups and the symbol table they fill.
#pragma once
#include <cstddef>
#include <string>
#include "runtime/boundary.h"

namespace kr {

using RegisterSymbol = void (*)(const char* name, int address);

struct CommandEntry {
  const char* name;  // signature of a command, or "_kr..." for a support routine
  void* address;
};

struct CommandGroup {
  const char* title;
  const CommandEntry* entries;
  std::size_t count;
  bool (*init)();      // null: nothing to do, always succeeds
  void (*shutdown)();  // null: nothing to do
};

// Registers every entry of a group, in table order.
void linkGroup(const CommandGroup& group, RegisterSymbol registerSymbol);

// Runs the link functions of every group in order, then the system commands.
void linkAll(RegisterSymbol registerSymbol);

// The eight groups in init order (language support first, multiplayer last).
const CommandGroup* const* commandGroups(std::size_t* count);
const CommandGroup& systemGroup();

// Link name of a registered name: "_krStrLoad" -> "__krStrLoad",
// "%LoadAnimImage$bmpfile%cellwidth" -> "_floadanimimage".
std::string linkName(const char* registeredName);

// True when a command signature follows the grammar.
bool isValidSignature(const char* signature);

}  // namespace kr

// One table line: the registered name and the boundary entry of the function.
#define KR_ENTRY(name, fn) \
  ::kr::CommandEntry { name, reinterpret_cast<void*>(&::kr::Boundary<&fn>::entry) }

#define KR_GROUP(title, table, init, shutdown) \
  ::kr::CommandGroup { title, table, sizeof(table) / sizeof(table[0]), init, shutdown }
