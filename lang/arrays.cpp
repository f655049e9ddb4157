// Arrays: element storage for the ArrayDesc records that compiled code lays out.
#include <cstdint>

#include "lang/language_support.h"
#include "runtime/errors.h"

namespace kr {
namespace {

constexpr std::uint64_t kMaxArrayBytes = 0x7FFFFFF0;

// The storage block starts with the element count it was made for: compiled
// code writes the new upper bounds into the size words before re-dimensioning,
// so those words no longer tell how many old elements there are to release.
struct StorageHeader {
  std::uint32_t elementCount;
  std::uint32_t padding;  // keeps the elements 8-byte aligned
};

StorageHeader* headerOf(void* data) { return static_cast<StorageHeader*>(data) - 1; }

// Upper bounds become cumulative element counts: bounds 10 and 5 give 11 and
// 66. A negative count (a bound below -1) is taken as 0, so every index of that
// array is out of bounds instead of the storage being misjudged.
std::uint64_t toCumulativeCounts(ArrayDesc* array) {
  std::uint64_t total = 1;
  for (int i = 0; i < array->dimCount; ++i) {
    std::int64_t count = std::int64_t(array->size[i]) + 1;
    total *= count > 0 ? static_cast<std::uint64_t>(count) : 0;
    if (total * 4 > kMaxArrayBytes) raiseRuntimeError("Out of memory");
    array->size[i] = static_cast<int>(total);
  }
  return total;
}

}  // namespace

void dimArray(ArrayDesc* array) {
  undimArray(array);
  const std::uint64_t total = toCumulativeCounts(array);
  auto* header = static_cast<StorageHeader*>(
      allocateLanguageBlock(sizeof(StorageHeader) + static_cast<std::size_t>(total * 4)));  // zero-filled
  header->elementCount = static_cast<std::uint32_t>(total);
  array->data = header + 1;
}

void undimArray(ArrayDesc* array) {
  if (!array->data) return;
  StorageHeader* header = headerOf(array->data);
  const std::uint32_t count = header->elementCount;
  if (array->elementType == KR_TYPE_STRING) {
    auto** elements = static_cast<krString**>(array->data);
    for (std::uint32_t i = 0; i < count; ++i) krStringDelete(elements[i]);
  } else if (array->elementType == KR_TYPE_OBJECT) {
    auto** elements = static_cast<Obj**>(array->data);
    for (std::uint32_t i = 0; i < count; ++i) objRelease(elements[i]);
  }
  freeLanguageBlock(header);
  array->data = nullptr;
}

void arrayBoundsEx() { raiseRuntimeError("Array index out of bounds"); }

}  // namespace kr
