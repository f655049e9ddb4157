#include "runtime/module_source.h"

#include <cstdio>
#include <cstring>

namespace kr {

namespace {

// Every read is checked against the image; offsets come from the file and are
// trusted for nothing.
struct Image {
  const std::uint8_t* data;
  std::size_t size;
  bool u16(std::size_t at, std::uint32_t& v) const {
    if (at > size || size - at < 2) return false;
    v = static_cast<std::uint32_t>(data[at] | data[at + 1] << 8);
    return true;
  }
  bool u32(std::size_t at, std::uint32_t& v) const {
    if (at > size || size - at < 4) return false;
    std::memcpy(&v, data + at, 4);
    return true;
  }
};

struct Section {
  std::uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

bool rvaToOffset(const std::vector<Section>& sections, std::uint32_t rva, std::uint32_t length,
                 std::size_t& offset) {
  for (const Section& s : sections) {
    std::uint32_t extent = s.rawSize;
    if (rva >= s.virtualAddress && rva - s.virtualAddress < extent &&
        length <= extent - (rva - s.virtualAddress)) {
      offset = static_cast<std::size_t>(s.rawOffset) + (rva - s.virtualAddress);
      return true;
    }
  }
  return false;
}

// Finds the entry with integer id in the resource directory at dirOffset (an
// offset into the resource section). Returns its raw offset field.
bool findDirectoryEntry(const Image& img, std::size_t rsrc, std::size_t rsrcSize, std::uint32_t dir,
                        std::uint32_t id, bool wantAny, std::uint32_t& entryValue) {
  std::uint32_t named, ids;
  if (dir > rsrcSize || !img.u16(rsrc + dir + 12, named) || !img.u16(rsrc + dir + 14, ids)) return false;
  std::size_t first = rsrc + dir + 16;
  for (std::uint32_t i = 0; i < named + ids; ++i) {
    std::uint32_t nameField, valueField;
    std::size_t at = first + static_cast<std::size_t>(i) * 8;
    if (at + 8 > rsrc + rsrcSize || !img.u32(at, nameField) || !img.u32(at + 4, valueField)) return false;
    if (wantAny || (!(nameField & 0x80000000u) && nameField == id)) {
      entryValue = valueField;
      return true;
    }
  }
  return false;
}

}  // namespace

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
  if (path.find('\0') != std::string::npos) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  std::uint8_t buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

namespace {

// The module's length from the trailer at the end of a file of fileSize bytes.
bool readTrailer(const std::uint8_t* trailer, std::uint64_t fileSize, std::uint32_t& length) {
  if (std::memcmp(trailer + 4, kPackMagic, sizeof kPackMagic) != 0) return false;
  std::memcpy(&length, trailer, 4);
  return length <= fileSize - kPackTrailerSize;
}

}  // namespace

bool findPackedModule(const std::vector<std::uint8_t>& image, std::size_t& offset, std::size_t& size) {
  std::uint32_t length;
  if (image.size() < kPackTrailerSize ||
      !readTrailer(image.data() + image.size() - kPackTrailerSize, image.size(), length))
    return false;
  size = length;
  offset = image.size() - kPackTrailerSize - length;
  return true;
}

bool readPackedModule(const std::string& executable, std::vector<std::uint8_t>& module) {
  FILE* f = std::fopen(executable.c_str(), "rb");
  if (!f) return false;
  std::uint8_t trailer[kPackTrailerSize];
  std::uint32_t length = 0;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  long fileSize = ok ? std::ftell(f) : -1;
  ok = fileSize >= static_cast<long>(kPackTrailerSize) &&
       std::fseek(f, fileSize - static_cast<long>(kPackTrailerSize), SEEK_SET) == 0 &&
       std::fread(trailer, 1, kPackTrailerSize, f) == kPackTrailerSize &&
       readTrailer(trailer, static_cast<std::uint64_t>(fileSize), length) &&
       std::fseek(f, fileSize - static_cast<long>(kPackTrailerSize) - static_cast<long>(length), SEEK_SET) == 0;
  if (ok) {
    module.resize(length);
    ok = std::fread(module.data(), 1, length, f) == length;
  }
  std::fclose(f);
  return ok;
}

bool findPeResource(const std::uint8_t* data, std::size_t size, std::uint32_t type, std::uint32_t id,
                    std::size_t& offset, std::size_t& length) {
  Image img{data, size};
  std::uint32_t mz, peOffset, signature;
  if (!img.u16(0, mz) || mz != 0x5A4D || !img.u32(0x3C, peOffset)) return false;
  if (!img.u32(peOffset, signature) || signature != 0x00004550) return false;
  std::size_t coff = static_cast<std::size_t>(peOffset) + 4;
  std::uint32_t sectionCount, optionalSize, magic;
  if (!img.u16(coff + 2, sectionCount) || !img.u16(coff + 16, optionalSize)) return false;
  std::size_t optional = coff + 20;
  if (!img.u16(optional, magic)) return false;
  std::size_t directories = optional + (magic == 0x20B ? 112 : 96);
  std::uint32_t directoryCount;
  if (!img.u32(directories - 4, directoryCount) || directoryCount < 3) return false;
  std::uint32_t rsrcRva, rsrcSize;
  std::size_t rsrcEntry = directories + 2 * 8;
  if (rsrcEntry + 8 > optional + optionalSize || !img.u32(rsrcEntry, rsrcRva) ||
      !img.u32(rsrcEntry + 4, rsrcSize) || rsrcRva == 0)
    return false;

  std::vector<Section> sections;
  std::size_t table = optional + optionalSize;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    std::size_t at = table + static_cast<std::size_t>(i) * 40;
    Section s;
    if (!img.u32(at + 8, s.virtualSize) || !img.u32(at + 12, s.virtualAddress) ||
        !img.u32(at + 16, s.rawSize) || !img.u32(at + 20, s.rawOffset))
      return false;
    if (s.rawOffset > size || s.rawSize > size - s.rawOffset) return false;
    sections.push_back(s);
  }
  std::size_t rsrc;
  if (!rvaToOffset(sections, rsrcRva, rsrcSize, rsrc)) return false;

  // Three levels: type, name, language (the first language is taken).
  std::uint32_t value;
  if (!findDirectoryEntry(img, rsrc, rsrcSize, 0, type, false, value) || !(value & 0x80000000u)) return false;
  if (!findDirectoryEntry(img, rsrc, rsrcSize, value & 0x7FFFFFFFu, id, false, value) ||
      !(value & 0x80000000u))
    return false;
  if (!findDirectoryEntry(img, rsrc, rsrcSize, value & 0x7FFFFFFFu, 0, true, value) || (value & 0x80000000u))
    return false;
  std::uint32_t dataRva, dataSize;
  if (value > rsrcSize || rsrcSize - value < 16 || !img.u32(rsrc + value, dataRva) ||
      !img.u32(rsrc + value + 4, dataSize))
    return false;
  if (!rvaToOffset(sections, dataRva, dataSize, offset)) return false;
  length = dataSize;
  return true;
}

void moduleInFile(const std::vector<std::uint8_t>& file, std::size_t& offset, std::size_t& size) {
  if (findPeResource(file.data(), file.size(), kModuleResourceType, kModuleResourceId, offset, size)) return;
  offset = 0;
  size = file.size();
}

}  // namespace kr
