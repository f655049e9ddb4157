// krconvert: turns an ELF32 i386 relocatable object (gcc -m32 -c -fno-pic) into a
// module container. Allocated sections are laid out in one code block, text
// first, then read-only data, data and zero-filled data; a jump to __MAIN sits at
// offset 0. R_386_PC32/PLT32 relocations become relative fixups, R_386_32
// absolute fixups; global definitions become symbols (data as "_v" + name).
#include <elf.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "runtime/module_format.h"

namespace {

struct Fixup {
  std::string name;
  std::uint32_t offset;
};

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "krconvert: %s\n", message.c_str());
  std::exit(1);
}

class Converter {
 public:
  explicit Converter(std::vector<std::uint8_t> file) : file_(std::move(file)) {}

  void run() {
    readHeaders();
    layOut();
    nameSymbols();
    collectRelocations();
  }

  std::vector<std::uint8_t> container() const {
    kr::ModuleContainer module;
    module.code = code_;
    module.symbols.assign(symbols_.begin(), symbols_.end());
    for (const auto& f : relative_) module.relative.emplace_back(f.name, f.offset);
    for (const auto& f : absolute_) module.absolute.emplace_back(f.name, f.offset);
    return module.bytes();
  }

 private:
  template <class T>
  const T* at(std::size_t offset, std::size_t count = 1) const {
    if (offset > file_.size() || count * sizeof(T) > file_.size() - offset) fail("truncated object file");
    return reinterpret_cast<const T*>(file_.data() + offset);
  }

  void readHeaders() {
    header_ = at<Elf32_Ehdr>(0);
    if (std::memcmp(header_->e_ident, ELFMAG, SELFMAG) != 0 || header_->e_ident[EI_CLASS] != ELFCLASS32 ||
        header_->e_machine != EM_386 || header_->e_type != ET_REL)
      fail("not an ELF32 i386 relocatable object (compile with gcc -m32 -c -fno-pic)");
    sections_ = at<Elf32_Shdr>(header_->e_shoff, header_->e_shnum);
    for (int i = 0; i < header_->e_shnum; ++i)
      if (sections_[i].sh_type == SHT_SYMTAB) symtab_ = i;
    if (symtab_ < 0) fail("object has no symbol table");
  }

  const char* sectionName(int i) const {
    const Elf32_Shdr& names = sections_[header_->e_shstrndx];
    return at<char>(names.sh_offset + sections_[i].sh_name);
  }

  // Order: executable sections, then read-only data, writable data, zero-filled.
  int rank(const Elf32_Shdr& s) const {
    if (s.sh_flags & SHF_EXECINSTR) return 0;
    if (s.sh_type == SHT_NOBITS) return 3;
    return (s.sh_flags & SHF_WRITE) ? 2 : 1;
  }

  void layOut() {
    code_ = {0xE9, 0, 0, 0, 0};  // jmp __MAIN, patched below
    placed_.assign(header_->e_shnum, -1);
    for (int r = 0; r < 4; ++r) {
      for (int i = 0; i < header_->e_shnum; ++i) {
        const Elf32_Shdr& s = sections_[i];
        if (!(s.sh_flags & SHF_ALLOC) || rank(s) != r || s.sh_size == 0) continue;
        if (r >= 1 && dataStart_ < 0) {
          // Data starts on a page of its own, so the runtime can keep code
          // pages read-execute and data pages read-write.
          while (code_.size() % 4096) code_.push_back(0xCC);
          dataStart_ = static_cast<long>(code_.size());
        }
        std::uint32_t align = s.sh_addralign ? s.sh_addralign : 1;
        while (code_.size() % align) code_.push_back(r == 0 ? 0x90 : 0);
        placed_[i] = static_cast<long>(code_.size());
        if (s.sh_type == SHT_NOBITS) {
          code_.insert(code_.end(), s.sh_size, 0);
        } else {
          const auto* bytes = at<std::uint8_t>(s.sh_offset, s.sh_size);
          code_.insert(code_.end(), bytes, bytes + s.sh_size);
        }
      }
    }
    if (dataStart_ >= 0) {
      // The runtime splits the block at the first data symbol; start data on a
      // fresh label so the split falls between code and data.
      sectionLabel_["_v"] = static_cast<std::uint32_t>(dataStart_);
    }
  }

  void nameSymbols() {
    const Elf32_Shdr& st = sections_[symtab_];
    std::size_t count = st.sh_size / sizeof(Elf32_Sym);
    syms_ = at<Elf32_Sym>(st.sh_offset, count);
    symCount_ = count;
    strtab_ = sections_[st.sh_link].sh_offset;
    long mainOffset = -1;
    for (std::size_t i = 1; i < count; ++i) {
      const Elf32_Sym& s = syms_[i];
      if (ELF32_ST_BIND(s.st_info) == STB_LOCAL || s.st_shndx == SHN_UNDEF || s.st_shndx >= SHN_LORESERVE)
        continue;
      if (placed_[s.st_shndx] < 0) continue;
      std::string name = at<char>(strtab_ + s.st_name);
      auto offset = static_cast<std::uint32_t>(placed_[s.st_shndx] + s.st_value);
      if (name == "__MAIN") {
        mainOffset = offset;
        continue;
      }
      symbols_[exportName(s, name)] = offset;
    }
    if (mainOffset < 0) fail("the module defines no __MAIN function");
    auto jump = static_cast<std::int32_t>(mainOffset - 5);
    std::memcpy(&code_[1], &jump, 4);
    symbols_["__MAIN"] = 0;
    for (const auto& l : sectionLabel_) symbols_[l.first] = l.second;
  }

  std::string exportName(const Elf32_Sym& s, const std::string& name) const {
    bool data = ELF32_ST_TYPE(s.st_info) == STT_OBJECT && name.rfind("_", 0) != 0;
    return data ? "_v" + name : name;
  }

  // The name a relocation refers to: a global by its exported name, a local or a
  // section by a numbered label at its address.
  std::string targetName(std::uint32_t symIndex, std::uint32_t& addend) {
    if (symIndex >= symCount_) fail("bad symbol index in relocation");
    const Elf32_Sym& s = syms_[symIndex];
    std::string name = at<char>(strtab_ + s.st_name);
    if (ELF32_ST_BIND(s.st_info) != STB_LOCAL) {
      if (s.st_shndx == SHN_UNDEF) return name;
      if (name == "__MAIN") {
        addend += static_cast<std::uint32_t>(placed_[s.st_shndx] + s.st_value);
        return labelFor(s.st_shndx, 0);
      }
      return exportName(s, name);
    }
    if (s.st_shndx == SHN_UNDEF || s.st_shndx >= SHN_LORESERVE || placed_[s.st_shndx] < 0)
      fail("relocation against a symbol outside the module's sections");
    return labelFor(s.st_shndx, s.st_value);
  }

  std::string labelFor(int section, std::uint32_t value) {
    auto offset = static_cast<std::uint32_t>(placed_[section] + value);
    std::string name = "_" + std::to_string(offset) + "_local";
    symbols_[name] = offset;
    return name;
  }

  void collectRelocations() {
    for (int i = 0; i < header_->e_shnum; ++i) {
      const Elf32_Shdr& rs = sections_[i];
      if (rs.sh_type == SHT_RELA) fail("RELA relocations are not supported");
      if (rs.sh_type != SHT_REL) continue;
      int target = static_cast<int>(rs.sh_info);
      if (target >= header_->e_shnum || placed_[target] < 0) continue;  // e.g. .rel.eh_frame
      std::size_t count = rs.sh_size / sizeof(Elf32_Rel);
      const auto* rels = at<Elf32_Rel>(rs.sh_offset, count);
      for (std::size_t k = 0; k < count; ++k) {
        auto field = static_cast<std::uint32_t>(placed_[target] + rels[k].r_offset);
        if (field + 4 > code_.size()) fail("relocation outside its section");
        std::uint32_t addend;
        std::memcpy(&addend, &code_[field], 4);
        std::uint32_t extra = 0;
        std::string name = targetName(ELF32_R_SYM(rels[k].r_info), extra);
        addend += extra;
        std::memcpy(&code_[field], &addend, 4);
        switch (ELF32_R_TYPE(rels[k].r_info)) {
          case R_386_32:
            absolute_.push_back({name, field});
            break;
          case R_386_PC32:
          case R_386_PLT32:
            relative_.push_back({name, field});
            break;
          default:
            fail("unsupported relocation type " + std::to_string(ELF32_R_TYPE(rels[k].r_info)) +
                 " (compile with -fno-pic)");
        }
      }
    }
  }

  std::vector<std::uint8_t> file_;
  const Elf32_Ehdr* header_ = nullptr;
  const Elf32_Shdr* sections_ = nullptr;
  const Elf32_Sym* syms_ = nullptr;
  std::size_t symCount_ = 0;
  std::size_t strtab_ = 0;
  int symtab_ = -1;
  long dataStart_ = -1;
  std::vector<long> placed_;
  std::vector<std::uint8_t> code_;
  std::map<std::string, std::uint32_t> symbols_;
  std::map<std::string, std::uint32_t> sectionLabel_;
  std::vector<Fixup> relative_, absolute_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::strcmp(argv[2], "-o") != 0) {
    std::fprintf(stderr, "Usage: krconvert OBJECT.o -o MODULE.krm\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) fail(std::string("cannot read ") + argv[1]);
  std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Converter converter(std::move(file));
  converter.run();
  std::vector<std::uint8_t> out = converter.container();
  std::ofstream o(argv[3], std::ios::binary);
  o.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!o) fail(std::string("cannot write ") + argv[3]);
  return 0;
}
