// Directory listings and whole-file operations.
#include "files/files_commands.h"
#include "files/files_state.h"
#include "lang/kr_string.h"

namespace kr {
namespace files {

int readDir(krString* dirName) {
  std::string path = takePath(dirName);
  FileSystem* fs = fileSystem();
  return fs ? toHandle(fs->openDir(path)) : 0;
}

krString* nextFile(int dir) {
  DirScan* d = liveDir(dir);
  if (!d || d->exhausted()) return krStringNew("", 0);
  return krStringNew(d->names[d->next++]);
}

void closeDir(int dir) {
  if (FileSystem* fs = fileSystem()) fs->closeDir(dir);
}

krString* currentDir() {
  FileSystem* fs = fileSystem();
  return krStringNew(fs ? fs->currentDir() : std::string());
}

void changeDir(krString* dir) {
  std::string path = takePath(dir);
  if (FileSystem* fs = fileSystem()) fs->changeDir(path);
}

void createDir(krString* dir) {
  std::string path = takePath(dir);
  if (FileSystem* fs = fileSystem()) fs->createDir(path);
}

void deleteDir(krString* dir) {
  std::string path = takePath(dir);
  if (FileSystem* fs = fileSystem()) fs->deleteDir(path);
}

int fileType(krString* file) {
  std::string path = takePath(file);
  FileSystem* fs = fileSystem();
  return fs ? fs->fileType(path) : 0;
}

int fileSize(krString* file) {
  std::string path = takePath(file);
  FileSystem* fs = fileSystem();
  return fs ? static_cast<int>(fs->fileSize(path)) : 0;
}

void copyFile(krString* file, krString* to) {
  std::string from = takePath(file);
  std::string target = takePath(to);
  if (FileSystem* fs = fileSystem()) fs->copyFile(from, target);
}

void deleteFile(krString* file) {
  std::string path = takePath(file);
  if (FileSystem* fs = fileSystem()) fs->deleteFile(path);
}

}  // namespace files
}  // namespace kr
