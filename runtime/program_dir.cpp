#include "runtime/program_dir.h"

#include <climits>
#include <cstdlib>

namespace kr {

namespace {
std::string gProgramDir;
}

void setProgramFile(const std::string& path) {
  char resolved[PATH_MAX];
  std::string full = realpath(path.c_str(), resolved) ? std::string(resolved) : path;
  std::size_t slash = full.rfind('/');
  gProgramDir = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : full.substr(0, slash);
}

std::string programDirectory() { return gProgramDir.empty() ? std::string(".") : gProgramDir; }

}  // namespace kr
