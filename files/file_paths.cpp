#define _FILE_OFFSET_BITS 64  // 64-bit inode numbers: readdir fails without it on i386
#include "files/file_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace kr {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool isDotName(const std::string& name) { return name == "." || name == ".."; }

// The entry of dir (empty: the current directory) matching name ignoring case.
bool findIgnoringCase(const std::string& dir, const std::string& name, std::string& match) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  bool found = false;
  while (dirent* e = ::readdir(d)) {
    std::string entry = e->d_name;
    if (isDotName(entry) || !equalsIgnoringCase(entry, name)) continue;
    if (!found || entry < match) match = entry;
    found = true;
  }
  ::closedir(d);
  return found;
}

std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

std::string join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// Greedy match with one backtrack point: linear in practice, never exponential.
bool wildcardAt(const char* p, const char* pEnd, const char* n, const char* nEnd) {
  const char* star = nullptr;
  const char* starName = nullptr;
  while (n < nEnd) {
    if (p < pEnd && *p == '*') {
      star = ++p;
      starName = n;
    } else if (p < pEnd && (*p == '?' || lowerAscii(*p) == lowerAscii(*n))) {
      ++p;
      ++n;
    } else if (star) {
      p = star;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pEnd && *p == '*') ++p;
  return p == pEnd;
}

bool listingOrder(const std::string& a, const std::string& b) {
  bool aDot = isDotName(a), bDot = isDotName(b);
  if (aDot != bDot) return aDot;
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char x = lowerAscii(a[i]), y = lowerAscii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace

bool hostPath(const std::string& programPath, std::string& out) {
  if (programPath.size() > kMaxPathBytes) return false;
  if (programPath.find('\0') != std::string::npos) return false;
  out = programPath;
  std::replace(out.begin(), out.end(), '\\', '/');
  return true;
}

std::string resolveCase(const std::string& path) {
  if (path.empty() || exists(path)) return path;
  std::vector<std::string> parts = components(path);
  std::string resolved = path[0] == '/' ? "/" : "";
  bool matching = true;
  for (const std::string& part : parts) {
    std::string candidate = join(resolved, part);
    if (matching && !isDotName(part) && !exists(candidate)) {
      std::string match;
      if (findIgnoringCase(resolved, part, match))
        candidate = join(resolved, match);
      else
        matching = false;
    }
    resolved = candidate;
  }
  if (path.back() == '/' && resolved.back() != '/') resolved += '/';
  return resolved;
}

bool resolveProgramPath(const std::string& programPath, std::string& out) {
  if (!hostPath(programPath, out)) return false;
  out = resolveCase(out);
  return true;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

bool hasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

bool matchesWildcard(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*") return true;
  return wildcardAt(pattern.data(), pattern.data() + pattern.size(), name.data(),
                    name.data() + name.size());
}

bool listDirectory(const std::string& dir, std::vector<std::string>& names) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  names.clear();
  while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
  ::closedir(d);
  std::sort(names.begin(), names.end(), listingOrder);
  return true;
}

void splitLastComponent(const std::string& path, std::string& dir, std::string& name) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    dir = ".";
    name = path;
  } else {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

}  // namespace kr
