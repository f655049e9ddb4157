// Command groups and the symbol table they fill.
#pragma once
#include <cstddef>
#include <string>
#include "runtime/boundary.h"

struct krString;

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

// ---- the compile-time signature check of KR_ENTRY ----
// A command's result and parameters must be exactly what its signature says:
// '%' int, '#' float (a result on the x87 stack), '$' krString*, no type a
// void result. Anything else would leave the caller's stack or the x87 stack
// unbalanced at run time. Support routines ("_kr...") have no signature.

template <typename T>
struct SignatureCode {
  static constexpr char value = '?';
};
template <>
struct SignatureCode<int> {
  static constexpr char value = '%';
};
template <>
struct SignatureCode<float> {
  static constexpr char value = '#';
};
template <>
struct SignatureCode<krString*> {
  static constexpr char value = '$';
};
template <>
struct SignatureCode<void> {
  static constexpr char value = 0;
};

constexpr bool isSignatureTypeChar(char c) { return c == '%' || c == '#' || c == '$'; }

template <typename R, typename... A>
constexpr bool signatureMatches(const char* signature, R (*)(A...)) {
  if (signature[0] == '_') return true;
  constexpr char params[] = {SignatureCode<A>::value..., 1};
  char result = isSignatureTypeChar(signature[0]) ? signature[0] : 0;
  if (result != SignatureCode<R>::value) return false;
  std::size_t next = 0;
  for (const char* p = signature + (result ? 1 : 0); *p; ++p) {
    if (!isSignatureTypeChar(*p)) continue;  // names, defaults ("=0", "=\"\"")
    if (next == sizeof...(A) || params[next] != *p) return false;
    ++next;
  }
  return next == sizeof...(A);
}

template <bool Matches>
struct SignatureChecked {
  static_assert(Matches,
                "KR_ENTRY: the signature's result or parameter types ('%' int, '#' float, "
                "'$' krString*) do not match the function");
  static constexpr const char* pass(const char* n) { return n; }
};

}  // namespace kr

// One table line: the registered name and the boundary entry of the function.
// The signature is checked against the function's type when the table compiles.
#define KR_ENTRY(name, fn)                                                                  \
  ::kr::CommandEntry {                                                                      \
    ::kr::SignatureChecked<::kr::signatureMatches(name, &fn)>::pass(name),                  \
        reinterpret_cast<void*>(&::kr::Boundary<&fn>::entry)                                \
  }

#define KR_GROUP(title, table, init, shutdown) \
  ::kr::CommandGroup { title, table, sizeof(table) / sizeof(table[0]), init, shutdown }
