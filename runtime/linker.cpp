#include "runtime/linker.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace kr {

namespace {

// Bounds-checked front-to-back reader over the container.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool u32(std::uint32_t& v) {
    if (size_ - pos_ < 4) return false;
    std::memcpy(&v, data_ + pos_, 4);
    pos_ += 4;
    return true;
  }
  bool name(const char*& text) {
    const void* nul = std::memchr(data_ + pos_, 0, size_ - pos_);
    if (!nul) return false;
    text = reinterpret_cast<const char*>(data_ + pos_);
    pos_ = static_cast<const std::uint8_t*>(nul) - data_ + 1;
    return true;
  }
  bool skip(std::size_t n) {
    if (size_ - pos_ < n) return false;
    pos_ += n;
    return true;
  }
  std::size_t pos() const { return pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

struct Entry {
  const char* name;
  std::uint32_t offset;
};

bool readEntries(Reader& in, std::vector<Entry>& out) {
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
// first data symbol: code pages before it are read-execute, data pages from it
// read-write. Returns codeSize when the module has no data symbols, and 0 when
// code follows data (the block then has to stay writable and executable).
std::uint32_t dataBoundary(const std::vector<Entry>& symbols, std::uint32_t codeSize) {
  std::uint32_t boundary = codeSize;
  for (const Entry& s : symbols)
    if (startsWith(s.name, "_v") || startsWith(s.name, "_a") || startsWith(s.name, "_t") ||
        std::strcmp(s.name, "__DATA") == 0)
      if (s.offset < boundary) boundary = s.offset;
  for (const Entry& s : symbols)
    if ((startsWith(s.name, "_f") || std::strcmp(s.name, "__MAIN") == 0) && s.offset >= boundary)
      return 0;
  return boundary;
}

// The block is page-aligned so the module's own alignment holds. Pages wholly
// before the data boundary become read-execute, pages after it stay
// read-write; a page holding both code and data (a module whose data does not
// start on a page) must stay writable and executable.
class CodeBlock {
 public:
  bool allocate(std::uint32_t codeSize, std::uint32_t boundary) {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
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
  bool protect() {
    const int rx = PROT_READ | PROT_EXEC, rwx = PROT_READ | PROT_WRITE | PROT_EXEC;
    if (boundary_ == 0) return mprotect(base_, length_, rwx) == 0;
    std::size_t codePages = boundary_ / page_ * page_;
    if (codePages && mprotect(base_, codePages, rx) != 0) return false;
    if (boundary_ % page_ && mprotect(base_ + codePages, page_, rwx) != 0) return false;
    return true;
  }
  void* mapping() const { return base_; }
  std::size_t length() const { return length_; }
  void release() {
    if (base_) munmap(base_, length_);
    base_ = nullptr;
  }

 private:
  std::uint8_t* base_ = nullptr;
  std::size_t page_ = 4096, length_ = 0;
  std::uint32_t boundary_ = 0;
};

}  // namespace

LinkResult linkModule(const std::uint8_t* data, std::size_t size,
                      const std::map<std::string, std::uint32_t>& runtimeTable) {
  LinkResult result;
  Reader in(data, size);
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

void releaseLinkedModule(LinkResult& linked) {
  if (linked.mapping) munmap(linked.mapping, linked.mappingLength);
  linked.mapping = nullptr;
  linked.entry = nullptr;
  linked.status = LinkResult::kMalformed;
}

}  // namespace kr
