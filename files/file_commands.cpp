// File stream commands: open, close, position, and numbers, strings and lines
// in little-endian byte order.
#include <cstdint>
#include <cstring>

#include "files/files_commands.h"
#include "files/files_state.h"
#include "lang/kr_string.h"

namespace kr {
namespace files {

namespace {

int open(krString* name, int mode) {
  std::string path = takeText(name);
  FileSystem* fs = fileSystem();
  return fs ? toHandle(fs->openFile(path, mode)) : 0;
}

// Reads up to `width` bytes little-endian over zero; a short read keeps what came.
std::uint32_t readLittleEndian(int file, std::size_t width) {
  FileStream* f = liveFile(file);
  if (!f) return 0;
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  f->read(bytes, width);
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void writeLittleEndian(FileStream& f, std::uint32_t value, std::size_t width) {
  std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                           static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  f.write(bytes, width);
}

}  // namespace

int readFile(krString* name) { return open(name, FileSystem::kRead); }
int writeFile(krString* name) { return open(name, FileSystem::kWrite | FileSystem::kTruncate); }
int openFile(krString* name) { return open(name, FileSystem::kRead | FileSystem::kWrite); }

void closeFile(int file) {
  if (FileSystem* fs = fileSystem()) fs->closeFile(file);
}

int filePos(int file) {
  FileStream* f = liveFile(file);
  return f ? static_cast<int>(f->position()) : 0;
}

int eof(int file) {
  FileStream* f = liveFile(file);
  return !f || f->atEnd() ? 1 : 0;
}

int seekFile(int file, int pos) {
  FileStream* f = liveFile(file);
  return f && f->seek(pos) ? 1 : 0;
}

int readByte(int file) {
  FileStream* f = liveFile(file);
  return f ? f->readByte() : 0;
}

int readShort(int file) { return static_cast<int>(readLittleEndian(file, 2)); }
int readInt(int file) { return static_cast<int>(readLittleEndian(file, 4)); }

float readFloat(int file) {
  std::uint32_t bits = readLittleEndian(file, 4);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

krString* readString(int file) {
  FileStream* f = liveFile(file);
  if (!f) return krStringNew("", 0);
  std::uint8_t length[4] = {0, 0, 0, 0};
  if (f->read(length, 4) < 4) return krStringNew("", 0);
  std::int32_t n = static_cast<std::int32_t>(length[0] | length[1] << 8 | length[2] << 16 |
                                             static_cast<std::uint32_t>(length[3]) << 24);
  std::string text;
  f->readCounted(n, text);
  return krStringNew(text);
}

krString* readLine(int file) {
  FileStream* f = liveFile(file);
  return f ? krStringNew(f->readLine()) : krStringNew("", 0);
}

void writeByte(int file, int value) {
  if (FileStream* f = liveFile(file)) f->writeByte(value);
}

void writeShort(int file, int value) {
  if (FileStream* f = liveFile(file)) writeLittleEndian(*f, static_cast<std::uint32_t>(value), 2);
}

void writeInt(int file, int value) {
  if (FileStream* f = liveFile(file)) writeLittleEndian(*f, static_cast<std::uint32_t>(value), 4);
}

void writeFloat(int file, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  if (FileStream* f = liveFile(file)) writeLittleEndian(*f, bits, 4);
}

void writeString(int file, krString* text) {
  std::string bytes = takeText(text);
  FileStream* f = liveFile(file);
  if (!f) return;
  writeLittleEndian(*f, static_cast<std::uint32_t>(bytes.size()), 4);
  f->write(bytes.data(), bytes.size());
}

void writeLine(int file, krString* text) {
  std::string bytes = takeText(text);
  FileStream* f = liveFile(file);
  if (!f) return;
  bytes += "\r\n";
  f->write(bytes.data(), bytes.size());
}

}  // namespace files
}  // namespace kr
