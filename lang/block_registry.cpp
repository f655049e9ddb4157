// The language-support block registry: every block of string records, object
// records, array storage and short text buffers, freed at shutdown.
#include <cstdlib>
#include <set>

#include "lang/language_support.h"
#include "runtime/errors.h"

namespace kr {
namespace {

std::set<void*>& registry() {
  static std::set<void*> blocks;
  return blocks;
}

}  // namespace

void* allocateLanguageBlock(std::size_t bytes) {
  void* block = std::calloc(1, bytes ? bytes : 1);
  if (!block) raiseRuntimeError("Out of memory");
  try {
    registry().insert(block);
  } catch (const std::bad_alloc&) {
    std::free(block);
    raiseRuntimeError("Out of memory");
  }
  return block;
}

void freeLanguageBlock(void* block) {
  if (registry().erase(block)) std::free(block);
}

std::size_t languageBlockCount() { return registry().size(); }

// Frees every registered block; the pools that carved them must forget them.
void freeAllLanguageBlocks() {
  for (void* block : registry()) std::free(block);
  registry().clear();
}

}  // namespace kr
