#define _FILE_OFFSET_BITS 64
#include "files/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "files/file_paths.h"
#include "files/file_stream.h"

namespace kr {

namespace {

bool statPath(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

// Resolves a program's path; false when it cannot name anything.
bool resolved(const std::string& programPath, std::string& out) {
  return resolveProgramPath(programPath, out) && !out.empty();
}

int openFlags(int mode) {
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;  // a FIFO must not block the open
  if (mode & FileSystem::kWrite)
    flags |= (mode & FileSystem::kRead) ? O_RDWR : O_WRONLY;
  else
    flags |= O_RDONLY;
  if (mode & FileSystem::kTruncate) flags |= O_CREAT | O_TRUNC;
  return flags;
}

bool copyContents(int from, int to) {
  std::unique_ptr<char[]> buffer(new char[256 * 1024]);
  for (;;) {
    ssize_t n = ::read(from, buffer.get(), 256 * 1024);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(to, buffer.get() + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      done += w;
    }
  }
}

}  // namespace

FileSystem::~FileSystem() {
  dirs_.clear([](DirScan* d) { delete d; });
  files_.clear([](FileStream* f) { delete f; });
}

FileStream* FileSystem::openFile(const std::string& path, int mode) {
  std::string host;
  if (!resolved(path, host)) return nullptr;
  flushAll();  // a new handle reads what the others wrote
  struct stat st;
  bool existed = statPath(host, st);
  if (existed && !S_ISREG(st.st_mode)) return nullptr;  // never truncate a device or FIFO
  int fd = ::open(host.c_str(), openFlags(mode), 0666);
  if (fd < 0) return nullptr;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  FileStream* f = new FileStream(fd, (mode & kRead) != 0, (mode & kWrite) != 0);
  files_.insert(f);
  return f;
}

void FileSystem::closeFile(int handle) { delete files_.take(handle); }

void FileSystem::flushAll() {
  for (FileStream* f : files_) f->flush();
}

DirScan* FileSystem::openDir(const std::string& path) {
  std::string host;
  if (!hostPath(path, host)) return nullptr;
  if (host.empty()) host = "/";  // an empty name lists the root
  std::unique_ptr<DirScan> scan(new DirScan);
  if (!listDirectory(resolveCase(host), scan->names)) return nullptr;
  dirs_.insert(scan.get());
  return scan.release();
}

void FileSystem::closeDir(int handle) { delete dirs_.take(handle); }

std::string FileSystem::currentDir() {
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return std::string();
  std::string dir = cwd;
  std::free(cwd);
  return dir;
}

// These report nothing to the program: a failure simply has no effect.
void FileSystem::changeDir(const std::string& path) {
  std::string host;
  if (resolved(path, host) && ::chdir(host.c_str()) != 0) return;
}

void FileSystem::createDir(const std::string& path) {
  std::string host;
  if (resolved(path, host)) ::mkdir(host.c_str(), 0777);
}

void FileSystem::deleteDir(const std::string& path) {
  std::string host;
  if (resolved(path, host)) ::rmdir(host.c_str());
}

void FileSystem::deleteFile(const std::string& path) {
  std::string host;
  if (resolved(path, host)) ::unlink(host.c_str());  // a directory is refused by the system
}

int FileSystem::fileType(const std::string& path) {
  std::string host;
  struct stat st;
  if (!resolved(path, host) || !statPath(host, st)) return 0;
  return S_ISDIR(st.st_mode) ? 2 : 1;
}

std::uint32_t FileSystem::fileSize(const std::string& path) {
  std::string host;
  if (!hostPath(path, host) || host.empty()) return 0;
  flushAll();
  struct stat st;
  std::string exact = resolveCase(host);
  if (!statPath(exact, st)) {
    std::string dir, pattern;
    splitLastComponent(host, dir, pattern);
    if (!hasWildcard(pattern)) return 0;
    dir = resolveCase(dir);
    std::vector<std::string> names;
    if (!listDirectory(dir, names)) return 0;
    bool found = false;
    for (const std::string& name : names) {
      if (matchesWildcard(pattern, name) && statPath(dir + "/" + name, st)) {
        found = true;
        break;
      }
    }
    if (!found) return 0;
  }
  return S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint32_t>(st.st_size);
}

// The copy goes to a temporary file beside the target that then replaces it, so
// a failed copy leaves the old target whole. Where no file can be made beside it
// (a read-only directory), the target is overwritten in place. A file is never
// copied onto itself.
void FileSystem::copyFile(const std::string& from, const std::string& to) {
  std::string source, target;
  if (!resolved(from, source) || !resolved(to, target)) return;
  flushAll();
  struct stat sourceStat, targetStat;
  if (!statPath(source, sourceStat) || !S_ISREG(sourceStat.st_mode)) return;
  if (statPath(target, targetStat) &&
      (!S_ISREG(targetStat.st_mode) ||
       (targetStat.st_dev == sourceStat.st_dev && targetStat.st_ino == sourceStat.st_ino)))
    return;
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return;
  std::string dir, name;
  splitLastComponent(target, dir, name);
  std::string temp = dir + "/.krcopy-XXXXXX";
  int out = ::mkostemp(&temp[0], O_CLOEXEC);
  if (out < 0) {
    temp.clear();
    out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, sourceStat.st_mode & 07777);
  }
  bool ok = out >= 0 && copyContents(in, out);
  ::close(in);
  if (out < 0 || temp.empty()) {
    if (out >= 0) ::close(out);
    return;
  }
  ok = ::fchmod(out, sourceStat.st_mode & 07777) == 0 && ok;
  ok = ::close(out) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) ::unlink(temp.c_str());
}

}  // namespace kr
