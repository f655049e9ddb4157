#include "runtime/linker.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <vector>

#include "runtime/module_format.h"

namespace kr {

namespace {

struct Entry {
  const char* name;
  std::uint32_t offset;
};

bool readEntries(ContainerReader& in, std::vector<Entry>& out) {
  std::uint32_t raw;
  if (!in.u32(raw)) return false;
  auto count = static_cast<std::int32_t>(raw);
  for (std::int32_t i = 0; i < count; ++i) {
    Entry e;
    if (!in.name(e.name) || !in.u32(e.offset)) return false;
    out.push_back(e);
  }
  return true;
}

bool startsWith(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

// Module data (variables, arrays, type descriptors, the data table) lives in the
// code block and is written while the program runs. The block is split at the
// first data symbol: pages before it start read-execute, pages from it
// read-write. The guess only saves faults: a page that turns out to be written
// or executed the other way is changed on its first fault (fixPageFault).
std::uint32_t dataBoundary(const std::vector<Entry>& symbols, std::uint32_t codeSize) {
  std::uint32_t boundary = codeSize;
  for (const Entry& s : symbols)
    if (startsWith(s.name, "_v") || startsWith(s.name, "_a") || startsWith(s.name, "_t") ||
        std::strcmp(s.name, "__DATA") == 0)
      if (s.offset < boundary) boundary = s.offset;
  return boundary;
}

// What each page of a block allows. A page is never writable and executable
// at once unless it has been both written and executed (code and data
// sharing it): only then does it stay both.
enum PageState : std::uint8_t { kPageReadExecute, kPageReadWrite, kPageAll };

struct BlockRecord {
  std::uint8_t* base;
  std::size_t length;
  std::size_t page;  // page size, so the fault handler asks the system nothing
  PageState* pages;
};

// The linked blocks the fault handler may adjust. Read by the handler, written
// only by the linker, which never runs while module code does.
constexpr int kMaxBlocks = 16;
BlockRecord gBlocks[kMaxBlocks];

std::size_t pageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

int protection(PageState state) {
  switch (state) {
    case kPageReadExecute:
      return PROT_READ | PROT_EXEC;
    case kPageReadWrite:
      return PROT_READ | PROT_WRITE;
    default:
      return PROT_READ | PROT_WRITE | PROT_EXEC;
  }
}


class CodeBlock {
 public:
  bool allocate(std::uint32_t codeSize, std::uint32_t boundary) {
    page_ = pageSize();
    boundary_ = boundary;
    std::size_t used = codeSize ? codeSize : 1;
    length_ = (used + page_ - 1) / page_ * page_;
    void* p = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return false;
    base_ = static_cast<std::uint8_t*>(p);
    // Anything past the code traps rather than running on; an empty module returns at once.
    std::memset(base_, 0xCC, length_);
    if (codeSize == 0) base_[0] = 0xC3;
    return true;
  }
  std::uint8_t* start() const { return base_; }
  // Sets each page's first protection and registers the block with the fault
  // handler. A block that cannot be registered is left writable and executable.
  bool protect() {
    const int rwx = PROT_READ | PROT_WRITE | PROT_EXEC;
    BlockRecord* record = freeRecord();
    std::size_t pageCount = length_ / page_;
    PageState* pages = record ? new (std::nothrow) PageState[pageCount] : nullptr;
    if (!pages) return mprotect(base_, length_, rwx) == 0;
    for (std::size_t i = 0; i < pageCount; ++i) {
      std::size_t start = i * page_, end = start + page_;
      pages[i] = end <= boundary_ ? kPageReadExecute : start >= boundary_ ? kPageReadWrite : kPageAll;
      if (mprotect(base_ + start, page_, protection(pages[i])) != 0) {
        delete[] pages;
        return false;
      }
    }
    *record = BlockRecord{base_, length_, page_, pages};
    return true;
  }
  void* mapping() const { return base_; }
  std::size_t length() const { return length_; }
  void release() {
    if (base_) munmap(base_, length_);
    base_ = nullptr;
  }

 private:
  static BlockRecord* freeRecord() {
    for (BlockRecord& r : gBlocks)
      if (!r.base) return &r;
    return nullptr;
  }

  std::uint8_t* base_ = nullptr;
  std::size_t page_ = 4096, length_ = 0;
  std::uint32_t boundary_ = 0;
};

}  // namespace

LinkResult linkModule(const std::uint8_t* data, std::size_t size,
                      const std::map<std::string, std::uint32_t>& runtimeTable) {
  LinkResult result;
  ContainerReader in(data, size);
  std::uint32_t codeSize;
  if (!in.u32(codeSize)) return result;
  std::size_t codeStart = in.pos();
  if (!in.skip(codeSize)) return result;
  std::vector<Entry> symbols, relative, absolute;
  if (!readEntries(in, symbols) || !readEntries(in, relative) || !readEntries(in, absolute))
    return result;
  for (const Entry& s : symbols)
    if (s.offset >= codeSize) return result;
  // A fixup's 4-byte field must lie wholly inside the code.
  for (const auto* list : {&relative, &absolute})
    for (const Entry& f : *list)
      if (codeSize < 4 || f.offset > codeSize - 4) return result;

  CodeBlock block;
  if (!block.allocate(codeSize, dataBoundary(symbols, codeSize))) return result;
  std::uint8_t* base = block.start();
  std::memcpy(base, data + codeStart, codeSize);
  auto baseAddress = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(base));

  std::map<std::string, std::uint32_t> moduleTable;
  for (const Entry& s : symbols) moduleTable[s.name] = baseAddress + s.offset;

  auto lookup = [&](const char* name, std::uint32_t& target) {
    auto it = moduleTable.find(name);
    if (it != moduleTable.end()) {
      target = it->second;
      return true;
    }
    auto rt = runtimeTable.find(name);
    if (rt == runtimeTable.end()) return false;
    target = rt->second;
    return true;
  };
  auto patch = [&](const std::vector<Entry>& fixups, bool isRelative) {
    for (const Entry& f : fixups) {
      std::uint32_t target;
      if (!lookup(f.name, target)) {
        result.status = LinkResult::kUnresolved;
        result.missingName = f.name;
        return false;
      }
      std::uint32_t field;
      std::memcpy(&field, base + f.offset, 4);
      field += isRelative ? target - (baseAddress + f.offset) : target;
      std::memcpy(base + f.offset, &field, 4);
    }
    return true;
  };
  if (!patch(relative, true) || !patch(absolute, false)) {
    block.release();
    return result;
  }
  if (!block.protect()) {
    block.release();
    result.status = LinkResult::kMalformed;
    return result;
  }
  result.status = LinkResult::kLinked;
  result.entry = reinterpret_cast<void (*)()>(base);
  result.mapping = block.mapping();
  result.mappingLength = block.length();
  return result;
}

bool fixPageFault(const void* address) {
  auto* at = static_cast<const std::uint8_t*>(address);
  for (BlockRecord& r : gBlocks) {
    if (!r.base || at < r.base || at >= r.base + r.length) continue;
    std::size_t page = r.page, index = static_cast<std::size_t>(at - r.base) / page;
    PageState& state = r.pages[index];
    // Read-execute pages fault only on writes, read-write ones only on
    // instruction fetches.
    PageState next = state == kPageReadExecute ? kPageReadWrite : kPageAll;
    if (state == kPageAll || mprotect(r.base + index * page, page, protection(next)) != 0) return false;
    state = next;
    return true;
  }
  return false;
}

void releaseLinkedModule(LinkResult& linked) {
  for (BlockRecord& r : gBlocks)
    if (r.base && r.base == linked.mapping) {
      delete[] r.pages;
      r = BlockRecord{};
    }
  if (linked.mapping) munmap(linked.mapping, linked.mappingLength);
  linked.mapping = nullptr;
  linked.entry = nullptr;
  linked.status = LinkResult::kMalformed;
}

}  // namespace kr
