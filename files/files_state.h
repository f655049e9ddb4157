// What the file, directory and bank commands share: the run's file-system
// driver and banks, and the handle checks every command makes.
#pragma once
#include <string>

#include "files/banks.h"
#include "files/file_stream.h"
#include "files/file_system.h"

struct krString;

namespace kr {
namespace files {

// Null outside a run (before init, after shutdown).
extern FileSystem* gFileSystem;
inline FileSystem* fileSystem() { return gFileSystem; }
BankSet& banks();

// Null, or "File does not exist" when debugFlag is set.
FileStream* missingFile();

// The open file, listing or bank behind a handle, or null. Handles that are not
// live raise their "does not exist" error when debugFlag is set.
inline FileStream* liveFile(int handle) {  // inline: ReadByte loops call it per byte
  FileStream* f = gFileSystem ? gFileSystem->findFile(handle) : nullptr;
  return __builtin_expect(f != nullptr, 1) ? f : missingFile();
}
DirScan* liveDir(int handle);
Bank* liveBank(int handle);

// The bytes of a path argument, which is released. One too long to name anything
// is cut just past the limit: a huge string is never copied.
std::string takePath(krString* s);

bool init();
void shutdown();

}  // namespace files
}  // namespace kr
