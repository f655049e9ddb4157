// The file-system driver: owns every open file and directory listing of a run
// and carries out the whole-file operations. Paths are taken as programs write
// them (see file_paths.h). Handles are the records' addresses; a handle is only
// ever turned back into a record after it was found in the registry.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "host/host_runtime.h"
#include "runtime/handles.h"

namespace kr {

class FileStream;

// One open directory listing: the entry names, read when the listing opened.
struct DirScan {
  std::vector<std::string> names;
  std::size_t next = 0;
  bool exhausted() const { return next >= names.size(); }
};

class FileSystem final : public Driver {
 public:
  enum OpenMode { kRead = 1, kWrite = 2, kTruncate = 4 };

  FileSystem() = default;
  ~FileSystem() override;  // closes every listing, then every file
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  // kRead and kRead|kWrite open an existing file; kWrite|kTruncate creates or
  // empties one. Null when it cannot be opened or is not a regular file.
  FileStream* openFile(const std::string& path, int mode);
  FileStream* findFile(int handle) { return files_.find(handle); }
  void closeFile(int handle);
  std::size_t openFileCount() const { return files_.size(); }

  DirScan* openDir(const std::string& path);  // null when it cannot be read
  DirScan* findDir(int handle) { return dirs_.find(handle); }
  void closeDir(int handle);

  std::string currentDir();
  void changeDir(const std::string& path);
  void createDir(const std::string& path);
  void deleteDir(const std::string& path);
  void deleteFile(const std::string& path);
  void copyFile(const std::string& from, const std::string& to);
  int fileType(const std::string& path);  // 0 nothing, 1 file, 2 directory
  std::uint32_t fileSize(const std::string& path);

 private:
  void flushAll();  // whole-file operations must see what programs wrote

  HandleRegistry<FileStream> files_;
  HandleRegistry<DirScan> dirs_;
};

}  // namespace kr
