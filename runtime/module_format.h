// The module container and where it travels. One header for the runtime's
// readers, the converter and packer, the benchmarks and the tests.
//
// A container is little-endian throughout:
//   u32 code size, the code bytes (entry at offset 0),
//   three entry lists, each a u32 count then per entry a NUL-terminated name
//   and a u32 code offset: defined symbols, relative fixups (the field gets
//   target - field address added), absolute fixups (the field gets target added).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace kr {

// A Windows executable carries the module as this resource.
constexpr std::uint32_t kModuleResourceType = 10;  // RT_RCDATA
constexpr std::uint32_t kModuleResourceId = 1111;

// Trailer the packing tool writes after the module: 4-byte size, then the magic.
constexpr char kPackMagic[8] = {'K', 'R', 'M', 'O', 'D', 'U', 'L', 'E'};
constexpr std::size_t kPackTrailerSize = 12;

// Appends a little-endian u32 to a byte string or vector.
template <class Bytes>
void putContainerWord(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<typename Bytes::value_type>(v >> (8 * i)));
}

template <class Bytes>
void putContainerEntry(Bytes& out, const std::string& name, std::uint32_t offset) {
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(0);
  putContainerWord(out, offset);
}

struct ModuleContainer {
  using Entry = std::pair<std::string, std::uint32_t>;  // name, code offset
  std::vector<std::uint8_t> code;
  std::vector<Entry> symbols, relative, absolute;

  template <class Bytes = std::vector<std::uint8_t>>
  Bytes bytes() const {
    Bytes out;
    putContainerWord(out, static_cast<std::uint32_t>(code.size()));
    out.insert(out.end(), code.begin(), code.end());
    for (const auto* list : {&symbols, &relative, &absolute}) {
      putContainerWord(out, static_cast<std::uint32_t>(list->size()));
      for (const Entry& e : *list) putContainerEntry(out, e.first, e.second);
    }
    return out;
  }
};

// Bounds-checked front-to-back reader over a container; every read says
// whether the bytes were there. The linker and the --check report share it.
class ContainerReader {
 public:
  ContainerReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool u32(std::uint32_t& v) {
    if (size_ - pos_ < 4) return false;
    std::memcpy(&v, data_ + pos_, 4);
    pos_ += 4;
    return true;
  }
  // A NUL-terminated name, pointing into the data.
  bool name(const char*& text) {
    const void* nul = std::memchr(data_ + pos_, 0, size_ - pos_);
    if (!nul) return false;
    text = reinterpret_cast<const char*>(data_ + pos_);
    pos_ = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data_) + 1;
    return true;
  }
  bool skip(std::size_t n) {
    if (size_ - pos_ < n) return false;
    pos_ += n;
    return true;
  }
  std::size_t pos() const { return pos_; }
  std::size_t left() const { return size_ - pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace kr
