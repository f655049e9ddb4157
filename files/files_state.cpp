#include "files/files_state.h"

#include <signal.h>

#include <algorithm>

#include "files/file_paths.h"
#include "lang/kr_string.h"
#include "runtime/errors.h"

namespace kr {
namespace files {

FileSystem* gFileSystem = nullptr;

namespace {
BankSet gBanks;
struct sigaction gPreviousFileSizeAction;
}  // namespace

BankSet& banks() { return gBanks; }

FileStream* missingFile() {
  if (debugFlag) raiseRuntimeError("File does not exist");
  return nullptr;
}

DirScan* liveDir(int handle) {
  DirScan* d = gFileSystem ? gFileSystem->findDir(handle) : nullptr;
  if (!d && debugFlag) raiseRuntimeError("Directory does not exist");
  return d;
}

Bank* liveBank(int handle) {
  Bank* b = gBanks.find(handle);
  if (!b && debugFlag) raiseRuntimeError("Bank does not exist");
  return b;
}

std::string takePath(krString* s) {
  std::string path(krStringData(s), std::min(krStringLength(s), kMaxPathBytes + 1));
  krStringDelete(s);
  return path;
}

bool init() {
  HostRuntime* host = currentHost();
  if (!host) return false;
  gFileSystem = host->openDriver<FileSystem>(DriverSlot::FileSystem, [] { return new FileSystem; });
  if (!gFileSystem) return false;
  // A write beyond the process's file-size limit fails like one to a full
  // disk (the file's error state) rather than killing the game with every
  // buffered write of its other files.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, &gPreviousFileSizeAction);
  return true;
}

void shutdown() {
  gBanks.freeAll();
  if (gFileSystem) {
    if (HostRuntime* host = currentHost()) host->closeDriver(DriverSlot::FileSystem, gFileSystem);
    sigaction(SIGXFSZ, &gPreviousFileSizeAction, nullptr);
  }
  gFileSystem = nullptr;
}

}  // namespace files
}  // namespace kr
