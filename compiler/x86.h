// A small i386 emitter: the instructions the code generator needs, labels with
// 32-bit jumps, and the two kinds of fixups of the module container.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace krc {

enum Reg { EAX = 0, ECX = 1, EDX = 2, EBX = 3, ESP = 4, EBP = 5, ESI = 6, EDI = 7 };

// A memory operand: a module symbol plus offset (an absolute fixup), [ebp+off]
// or [reg+off]; or a register itself (Direct), for a variable kept in one.
struct Mem {
  enum Base { Symbol, Frame, Register, Direct } base = Frame;
  std::string symbol;
  std::int32_t offset = 0;
  Reg reg = EAX;
  static Mem sym(const std::string& s, std::int32_t off = 0) {
    Mem m;
    m.base = Symbol, m.symbol = s, m.offset = off;
    return m;
  }
  static Mem frame(std::int32_t off) {
    Mem m;
    m.base = Frame, m.offset = off;
    return m;
  }
  static Mem direct(Reg r) {
    Mem m;
    m.base = Direct, m.reg = r;
    return m;
  }
  static Mem at(Reg r, std::int32_t off = 0) {
    Mem m;
    m.base = Register, m.reg = r, m.offset = off;
    return m;
  }
};

struct Fixup {
  std::uint32_t offset;
  std::string target;
};

// Condition codes (the low nibble of Jcc / SETcc).
enum Cond { CO = 0, CB = 2, CAE = 3, CE = 4, CNE = 5, CBE = 6, CA = 7, CL = 0xC, CGE = 0xD, CLE = 0xE, CG = 0xF };
inline Cond negate(Cond c) { return static_cast<Cond>(c ^ 1); }

class Emitter {
 public:
  std::vector<std::uint8_t> code;
  std::vector<Fixup> relative, absolute;

  std::uint32_t here() const { return static_cast<std::uint32_t>(code.size()); }
  void byte(int b) { code.push_back(static_cast<std::uint8_t>(b)); }
  void bytes(std::initializer_list<int> bs) {
    for (int b : bs) byte(b);
  }
  void dword(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) byte(static_cast<int>((v >> (8 * i)) & 0xFF));
  }
  void patch(std::uint32_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) code[at + i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
  }
  void absRef(const std::string& sym, std::int32_t off) {
    absolute.push_back({here(), sym});
    dword(static_cast<std::uint32_t>(off));
  }

  // ModRM with a 32-bit displacement for every memory form.
  void modrm(int reg, const Mem& m) {
    switch (m.base) {
      case Mem::Symbol:
        byte((reg << 3) | 5);
        absRef(m.symbol, m.offset);
        break;
      case Mem::Frame:
        byte(0x80 | (reg << 3) | 5);
        dword(static_cast<std::uint32_t>(m.offset));
        break;
      case Mem::Register:
        if (m.reg == ESP) {
          byte(0x80 | (reg << 3) | 4);
          byte(0x24);
        } else {
          byte(0x80 | (reg << 3) | m.reg);
        }
        dword(static_cast<std::uint32_t>(m.offset));
        break;
      case Mem::Direct:
        byte(0xC0 | (reg << 3) | m.reg);
        break;
    }
  }
  void op(int opcode, int reg, const Mem& m) {
    byte(opcode);
    modrm(reg, m);
  }
  void load(Reg r, const Mem& m) { op(0x8B, r, m); }
  void store(const Mem& m, Reg r) { op(0x89, r, m); }
  void lea(Reg r, const Mem& m) { op(0x8D, r, m); }
  void pushMem(const Mem& m) { op(0xFF, 6, m); }
  void fld(const Mem& m) { op(0xD9, 0, m); }
  void fstp(const Mem& m) { op(0xD9, 3, m); }
  void fild(const Mem& m) { op(0xDB, 0, m); }
  void fistp(const Mem& m) { op(0xDB, 3, m); }
  // Float arithmetic with a memory operand: 0 add, 1 mul, 4 sub, 5 subr, 6 div, 7 divr.
  void farith(int kind, const Mem& m) { op(0xD8, kind, m); }
  void movImm(Reg r, std::uint32_t v) {
    if (v == 0) {
      regReg(0x31, r, r);
      return;
    }
    byte(0xB8 + r);
    dword(v);
  }
  void movMemImm(const Mem& m, std::uint32_t v) {
    op(0xC7, 0, m);
    dword(v);
  }
  void pushImm(std::uint32_t v) {
    byte(0x68);
    dword(v);
  }
  void pushSymbol(const std::string& sym, std::int32_t off = 0) {
    byte(0x68);
    absRef(sym, off);
  }
  void movSymbol(Reg r, const std::string& sym, std::int32_t off = 0) {
    byte(0xB8 + r);
    absRef(sym, off);
  }
  void push(Reg r) { byte(0x50 + r); }
  void pop(Reg r) { byte(0x58 + r); }
  // Two-register form "op r/m=dst, reg=src": 0x01 add, 0x29 sub, 0x21 and, 0x09 or, 0x31 xor, 0x39 cmp, 0x89 mov, 0x85 test.
  void regReg(int opcode, Reg dst, Reg src) {
    byte(opcode);
    byte(0xC0 | (src << 3) | dst);
  }
  // "op reg, [mem]" arithmetic: 0x03 add, 0x2B sub, 0x23 and, 0x0B or, 0x33 xor, 0x3B cmp.
  void regMem(int opcode, Reg r, const Mem& m) { op(opcode, r, m); }
  // Group-1 with immediate: 0 add, 1 or, 4 and, 5 sub, 6 xor, 7 cmp.
  void aluImm(int kind, Reg r, std::int32_t v) {
    byte(0x81);
    byte(0xC0 | (kind << 3) | r);
    dword(static_cast<std::uint32_t>(v));
  }
  void aluMemImm(int kind, const Mem& m, std::int32_t v) {
    op(0x81, kind, m);
    dword(static_cast<std::uint32_t>(v));
  }
  void imul(Reg dst, Reg src) { bytes({0x0F, 0xAF, 0xC0 | (dst << 3) | src}); }
  void imulMem(Reg dst, const Mem& m) {
    byte(0x0F);
    op(0xAF, dst, m);
  }
  void addEsp(std::int32_t n) {
    if (n == 0) return;
    if (n >= -128 && n <= 127) {
      bytes({0x83, 0xC4, n & 0xFF});
    } else {
      aluImm(0, ESP, n);
    }
  }
  void setcc(Cond c) {  // eax = condition ? 1 : 0
    bytes({0x0F, 0x90 | c, 0xC0, 0x0F, 0xB6, 0xC0});
  }
  void call(const std::string& target) {
    byte(0xE8);
    relative.push_back({here(), target});
    dword(0xFFFFFFFCu);
  }
  void ret() { byte(0xC3); }

  // --- labels ---
  int newLabel() {
    labels_.push_back(-1);
    return static_cast<int>(labels_.size()) - 1;
  }
  void bind(int label) { labels_[label] = static_cast<std::int64_t>(here()); }
  bool bound(int label) const { return labels_[label] >= 0; }
  void jmp(int label) {
    byte(0xE9);
    jumpTo(label);
  }
  void jcc(Cond c, int label) {
    bytes({0x0F, 0x80 | c});
    jumpTo(label);
  }
  void callLabel(int label) {
    byte(0xE8);
    jumpTo(label);
  }
  void jumpTo(int label) {
    pending_.push_back({here(), label});
    dword(0);
  }
  // Resolves every jump; false if a label was never bound.
  bool resolve() {
    for (auto& p : pending_) {
      if (labels_[p.second] < 0) return false;
      patch(p.first, static_cast<std::uint32_t>(labels_[p.second] - static_cast<std::int64_t>(p.first) - 4));
    }
    return true;
  }
  std::uint32_t labelPos(int label) const { return static_cast<std::uint32_t>(labels_[label]); }

 private:
  std::vector<std::int64_t> labels_;
  std::vector<std::pair<std::uint32_t, int>> pending_;
};

}  // namespace krc
