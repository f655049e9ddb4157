#include "runtime/module_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "runtime/linker.h"
#include "runtime/module_format.h"
#include "runtime/module_source.h"

namespace kr {

namespace {

struct Entry {
  std::string name;
  std::uint32_t offset;
};

// Names in modules are printed, so anything unprintable is escaped.
std::string printable(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  if (out.size() > 80) out = out.substr(0, 77) + "...";
  return out;
}

std::string number(std::uint64_t n) { return std::to_string(n); }

// Reads one of the three tables; on a fault, says which entry is cut off.
bool readTable(ContainerReader& in, const char* what, std::vector<Entry>& out, std::string& problem) {
  std::size_t at = in.pos();
  std::uint32_t raw;
  if (!in.u32(raw)) {
    problem = std::string("the file ends where the ") + what + " count should be (offset " + number(at) + ")";
    return false;
  }
  auto count = static_cast<std::int32_t>(raw);
  for (std::int32_t i = 0; i < count; ++i) {
    Entry e;
    const char* name;
    if (!in.name(name) || !in.u32(e.offset)) {
      problem = std::string("the file ends inside ") + what + " " + number(i + 1) + " of " + number(count);
      return false;
    }
    e.name = name;
    out.push_back(std::move(e));
  }
  return true;
}

std::string plural(std::size_t n, const char* word) {
  return number(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

ModuleCheck checkContainer(const std::uint8_t* data, std::size_t size,
                           const std::map<std::string, std::uint32_t>& runtimeTable) {
  ModuleCheck result;
  result.source = "module container";
  ContainerReader in(data, size);
  std::uint32_t codeSize;
  if (!in.u32(codeSize)) {
    result.detail = "the file is " + plural(size, "byte") + " long, too short for a module container";
    return result;
  }
  if (!in.skip(codeSize)) {
    result.detail = "the code size field says " + plural(codeSize, "byte") + ", but only " +
                    number(in.left()) + " follow";
    return result;
  }
  std::vector<Entry> symbols, relative, absolute;
  if (!readTable(in, "symbol", symbols, result.detail) ||
      !readTable(in, "relative fixup", relative, result.detail) ||
      !readTable(in, "absolute fixup", absolute, result.detail))
    return result;

  std::set<std::string> defined;
  for (const Entry& s : symbols) {
    if (s.offset >= codeSize) {
      result.detail = "symbol '" + printable(s.name) + "' at offset " + number(s.offset) +
                      " lies outside the " + plural(codeSize, "byte") + " of code";
      return result;
    }
    defined.insert(s.name);
  }
  for (const auto* list : {&relative, &absolute}) {
    const char* kind = list == &relative ? "relative" : "absolute";
    for (const Entry& f : *list) {
      if (codeSize < 4 || f.offset > codeSize - 4) {
        result.detail = std::string("the ") + kind + " fixup of '" + printable(f.name) + "' at offset " +
                        number(f.offset) + " does not fit inside the " + plural(codeSize, "byte") +
                        " of code";
        return result;
      }
      if (!defined.count(f.name) && !runtimeTable.count(f.name)) {
        result.detail = "it refers to '" + printable(f.name) +
                        "', which neither the module nor the runtime defines (\"Can't find symbol\")";
        return result;
      }
    }
  }

  // The structure is sound; the linker has the last word (it also needs memory
  // for the code block).
  LinkResult linked = linkModule(data, size, runtimeTable);
  if (linked.status != LinkResult::kLinked) {
    result.detail = "the linker refuses it";
    return result;
  }
  releaseLinkedModule(linked);
  result.runnable = true;
  result.detail = plural(codeSize, "byte") + " of code, " + plural(symbols.size(), "symbol") + ", " +
                  plural(relative.size(), "relative fixup") + ", " +
                  plural(absolute.size(), "absolute fixup");
  if (in.left()) result.detail += "; " + plural(in.left(), "byte") + " after the container are ignored";
  return result;
}

ModuleCheck checkModuleFile(const std::string& path,
                            const std::map<std::string, std::uint32_t>& runtimeTable) {
  ModuleCheck result;
  std::vector<std::uint8_t> file;
  errno = 0;
  if (!readWholeFile(path, file)) {
    result.source = "file";
    result.detail = std::string("it cannot be read (") + (errno ? std::strerror(errno) : "unreadable") + ")";
    return result;
  }
  std::size_t offset, length;
  if (findPackedModule(file, offset, length)) {
    ModuleCheck packed = checkContainer(file.data() + offset, length, runtimeTable);
    packed.source = "stand-alone game";
    return packed;
  }
  if (findPeResource(file.data(), file.size(), 10, 1111, offset, length)) {
    ModuleCheck resource = checkContainer(file.data() + offset, length, runtimeTable);
    resource.source = "Windows executable";
    resource.detail = "resource RT_RCDATA 1111: " + resource.detail;
    return resource;
  }
  // Anything else is taken as a container, as krrun itself would take it; an
  // executable that fails as one gets the more useful reason.
  ModuleCheck plain = checkContainer(file.data(), file.size(), runtimeTable);
  if (plain.runnable) return plain;
  if (file.size() >= kPackTrailerSize &&
      std::memcmp(file.data() + file.size() - sizeof kPackMagic, kPackMagic, sizeof kPackMagic) == 0) {
    result.source = "stand-alone game";
    result.detail = "its packed-module trailer gives a length longer than the file";
    return result;
  }
  if (file.size() >= 2 && file[0] == 'M' && file[1] == 'Z') {
    result.source = "Windows executable";
    result.detail = "it has no RT_RCDATA 1111 resource (or its resource directory is damaged)";
    return result;
  }
  if (file.size() >= 4 && std::memcmp(file.data(), "\177ELF", 4) == 0) {
    result.source = "ELF file";
    result.detail = "it carries no packed module (object files are converted with krconvert first)";
    return result;
  }
  return plain;
}

}  // namespace kr
