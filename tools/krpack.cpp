// krpack: makes a stand-alone game, a copy of krrun with a module appended.
// The module may come from a container or from a Windows executable's
// resources. The game needs libkrruntime.so and the decoder process krdecode
// beside it (both copied when missing).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/module_source.h"

namespace {

std::string directoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string selfDirectory() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  return directoryOf(std::string(buffer, static_cast<std::size_t>(n)));
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, mode_t mode) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  return ok && chmod(path.c_str(), mode) == 0;
}

int usage() {
  std::fprintf(stderr, "Usage: krpack MODULE -o GAME [--runner KRRUN]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input, output, runner = selfDirectory() + "/krrun";
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-o") && i + 1 < argc) {
      output = argv[++i];
    } else if (!std::strcmp(argv[i], "--runner") && i + 1 < argc) {
      runner = argv[++i];
    } else if (argv[i][0] != '-' && input.empty()) {
      input = argv[i];
    } else {
      return usage();
    }
  }
  if (input.empty() || output.empty()) return usage();

  std::vector<std::uint8_t> game, file;
  if (!kr::readWholeFile(runner, game)) {
    std::fprintf(stderr, "krpack: cannot read the runner %s\n", runner.c_str());
    return 1;
  }
  std::size_t oldOffset, oldSize;
  if (kr::findPackedModule(game, oldOffset, oldSize)) game.resize(oldOffset);  // repacking a game
  if (!kr::readWholeFile(input, file)) {
    std::fprintf(stderr, "krpack: cannot read %s\n", input.c_str());
    return 1;
  }
  std::size_t offset, size;
  kr::moduleInFile(file, offset, size);
  game.insert(game.end(), file.begin() + static_cast<long>(offset), file.begin() + static_cast<long>(offset + size));
  auto length = static_cast<std::uint32_t>(size);
  for (int i = 0; i < 4; ++i) game.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  game.insert(game.end(), kr::kPackMagic, kr::kPackMagic + sizeof kr::kPackMagic);
  if (!writeFile(output, game, 0755)) {
    std::fprintf(stderr, "krpack: cannot write %s\n", output.c_str());
    return 1;
  }
  // The game needs the runtime library and the decoder process beside it. They
  // sit beside the runner in a build tree, and in the library directory next
  // to bin/ when installed.
  for (const char* name : {"libkrruntime.so", "krdecode"}) {
    std::string target = directoryOf(output) + "/" + name;
    if (access(target.c_str(), F_OK) == 0) continue;
    std::vector<std::uint8_t> bytes;
    for (const char* dir : {".", KR_BIN_TO_LIB})
      if (kr::readWholeFile(directoryOf(runner) + "/" + dir + "/" + name, bytes)) {
        writeFile(target, bytes, 0755);
        break;
      }
  }
  return 0;
}
