// Bank commands: peeks and pokes of little-endian values at any byte offset, and
// transfers between banks and open files.
#include <cstdint>
#include <cstring>

#include "files/files_commands.h"
#include "files/files_state.h"
#include "runtime/errors.h"

namespace kr {
namespace files {

namespace {

// The `width` bytes at offset, or null (an error under debugFlag) when the bank
// is not live or they do not all lie inside it.
std::uint8_t* bankBytes(int bank, int offset, int width) {
  Bank* b = liveBank(bank);
  if (!b) return nullptr;
  std::uint8_t* p = span(*b, offset, width);
  if (!p && debugFlag) raiseRuntimeError("Offset out of range");
  return p;
}

std::uint32_t load(const std::uint8_t* p, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

void store(std::uint8_t* p, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t peek(int bank, int offset, int width) {
  const std::uint8_t* p = bankBytes(bank, offset, width);
  return p ? load(p, width) : 0;
}

void poke(int bank, int offset, std::uint32_t value, int width) {
  if (std::uint8_t* p = bankBytes(bank, offset, width)) store(p, value, width);
}

// The part of a transfer that lies inside the bank. Under debugFlag anything
// outside is an error; otherwise the transfer is cut at the bank's end, and one
// that starts outside the bank transfers nothing.
struct Transfer {
  std::uint8_t* data = nullptr;
  std::size_t count = 0;
};

Transfer transferBytes(int bank, int offset, int count) {
  Transfer t;
  Bank* b = liveBank(bank);
  if (!b) return t;
  if (std::uint8_t* p = span(*b, offset, count)) {
    t.data = p;
    t.count = static_cast<std::size_t>(count);
  } else if (debugFlag) {
    raiseRuntimeError("Offset out of range");
  } else if (offset >= 0 && offset <= b->size && count > 0) {
    t.data = b->data + offset;
    t.count = static_cast<std::size_t>(b->size - offset);
  }
  return t;
}

}  // namespace

int createBank(int size) { return toHandle(banks().create(size)); }
void freeBank(int bank) { banks().free(bank); }

int peekByte(int bank, int offset) { return static_cast<int>(peek(bank, offset, 1)); }
int peekShort(int bank, int offset) { return static_cast<int>(peek(bank, offset, 2)); }
int peekInt(int bank, int offset) { return static_cast<int>(peek(bank, offset, 4)); }

float peekFloat(int bank, int offset) {
  std::uint32_t bits = peek(bank, offset, 4);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void pokeByte(int bank, int offset, int value) { poke(bank, offset, static_cast<std::uint32_t>(value), 1); }
void pokeShort(int bank, int offset, int value) { poke(bank, offset, static_cast<std::uint32_t>(value), 2); }
void pokeInt(int bank, int offset, int value) { poke(bank, offset, static_cast<std::uint32_t>(value), 4); }

void pokeFloat(int bank, int offset, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  poke(bank, offset, bits, 4);
}

void readBytes(int bank, int file, int offset, int count) {
  FileStream* f = liveFile(file);
  Transfer t = transferBytes(bank, offset, count);
  if (f && t.count > 0) f->read(t.data, t.count);
}

void writeBytes(int bank, int file, int offset, int count) {
  FileStream* f = liveFile(file);
  Transfer t = transferBytes(bank, offset, count);
  if (f && t.count > 0) f->write(t.data, t.count);
}

}  // namespace files
}  // namespace kr
