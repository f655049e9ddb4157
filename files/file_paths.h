// Paths as programs write them: backslashes as separators and names whose letter
// case may not match the disk. These helpers turn them into host paths.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kr {

// Longest path a program may name; a longer one names nothing.
constexpr std::size_t kMaxPathBytes = 4096;

// Translates a program's path into a host path (backslashes become slashes).
// False when the bytes cannot name anything: an embedded NUL, or too long.
bool hostPath(const std::string& programPath, std::string& out);

// The path itself when it exists as written. Otherwise every component that does
// not exist is replaced by the directory entry matching it with ASCII case
// ignored (the smallest in byte order when several match); from the first
// component with no match on, the rest is kept as written.
std::string resolveCase(const std::string& path);

// hostPath followed by resolveCase.
bool resolveProgramPath(const std::string& programPath, std::string& out);

bool equalsIgnoringCase(const std::string& a, const std::string& b);

// Wildcard match with ASCII case ignored: '*' is any run of bytes, '?' any one
// byte; "*.*" matches every name.
bool matchesWildcard(const std::string& pattern, const std::string& name);
bool hasWildcard(const std::string& name);

// Entry names of a directory in listing order: "." and ".." first, the rest
// sorted ignoring case. False when the directory cannot be read.
bool listDirectory(const std::string& dir, std::vector<std::string>& names);

// Splits "a/b/c" into "a/b" and "c"; a name with no slash has directory ".".
void splitLastComponent(const std::string& path, std::string& dir, std::string& name);

}  // namespace kr
