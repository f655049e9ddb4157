// File stream commands: open, close, position, and numbers, strings and lines
// in little-endian byte order.
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>

#include "files/files_commands.h"
#include "files/files_state.h"
#include "lang/kr_string.h"
#include "runtime/errors.h"

namespace kr {
namespace files {

namespace {

int open(krString* name, int mode) {
  std::string path = takePath(name);
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

// A result string built from the file. A line or counted string too long for
// memory ends the run with a runtime error: std::bad_alloc must not reach the
// module, which cannot unwind it.
template <class Read>
krString* textFromFile(Read read) {
  try {
    return krStringNew(read());
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  raiseRuntimeError("Out of memory");
}

// The open file behind a handle. Without one the string argument is released
// before the handle check, which may end the run.
FileStream* liveFileReleasing(int file, krString* text) {
  FileStream* f = gFileSystem ? gFileSystem->findFile(file) : nullptr;
  if (f) return f;
  krStringDelete(text);
  return missingFile();
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
  return textFromFile([f, n] {
    std::string text;
    f->readCounted(n, text);
    return text;
  });
}

krString* readLine(int file) {
  FileStream* f = liveFile(file);
  return f ? textFromFile([f] { return f->readLine(); }) : krStringNew("", 0);
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

// The text goes out straight from the argument, which may be too big to copy.
void writeString(int file, krString* text) {
  FileStream* f = liveFileReleasing(file, text);
  if (!f) return;
  writeLittleEndian(*f, static_cast<std::uint32_t>(krStringLength(text)), 4);
  f->write(krStringData(text), krStringLength(text));
  krStringDelete(text);
}

void writeLine(int file, krString* text) {
  FileStream* f = liveFileReleasing(file, text);
  if (!f) return;
  f->write(krStringData(text), krStringLength(text));
  f->write("\r\n", 2);
  krStringDelete(text);
}

}  // namespace files
}  // namespace kr
