// krc: compiles a Korrin Basic program to a module, a stand-alone game, or
// runs it at once with krrun.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/compiler.h"
#include "korrin_runtime.h"

namespace {

const char kUsage[] =
    "Usage: krc [--debug] FILE.kb [-o OUTPUT] [--pack]\n"
    "       krc [--debug] --run FILE.kb\n"
    "\n"
    "Compiles a Korrin Basic program.\n"
    "\n"
    "  -o OUTPUT  write the module (or, with --pack, the game) to OUTPUT;\n"
    "             the default is FILE with the extension .krm\n"
    "  --pack     write a stand-alone game (krrun with the module packed in)\n"
    "  --run      compile and run the program with krrun\n"
    "  --debug    trace each statement and function, so runtime errors and\n"
    "             Stop name the file and line; --run then runs krrun --debug\n"
    "  --help     show this text\n"
    "\n"
    "Compile errors are written as FILE:LINE:COLUMN: MESSAGE; the exit code is\n"
    "then 1. With --run the exit code is krrun's.\n";

std::string selfDirectory() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<std::size_t>(n));
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool readText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return !in.bad();
}

bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

int runProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    execv(argv[0], argv.data());
    std::fprintf(stderr, "krc: cannot run %s\n", argv[0]);
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

krc::CommandTable runtimeCommands() {
  krc::CommandTable table;
  Runtime* runtime = runtimeGetRuntime();
  while (const char* name = runtime->nextSym()) table.addSignature(name);
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input, output;
  bool pack = false, run = false, debug = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "-o" && i + 1 < argc) {
      output = argv[++i];
    } else if (a == "--pack") {
      pack = true;
    } else if (a == "--run") {
      run = true;
    } else if (a == "--debug") {
      debug = true;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "krc: unknown option '%s'\nTry 'krc --help'.\n", a.c_str());
      return 2;
    } else if (input.empty()) {
      input = a;
    } else {
      std::fprintf(stderr, "krc: more than one program named ('%s')\nTry 'krc --help'.\n", a.c_str());
      return 2;
    }
  }
  if (input.empty() || (run && (pack || !output.empty()))) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string source;
  if (!readText(input, source)) {
    std::fprintf(stderr, "krc: cannot read %s\n", input.c_str());
    return 1;
  }

  krc::CommandTable commands = runtimeCommands();
  krc::Diagnostics diag;
  krc::CompileOptions options;
  options.debug = debug;
  std::vector<std::uint8_t> module;
  if (!krc::compileSource(input, source, commands, options, diag, module)) {
    for (const std::string& m : diag.messages) std::fprintf(stderr, "%s\n", m.c_str());
    return 1;
  }

  const std::string tools = selfDirectory();
  if (run || pack) {
    char temp[] = "/tmp/krc-XXXXXX";
    int fd = mkstemp(temp);
    if (fd < 0) {
      std::fprintf(stderr, "krc: cannot create a temporary file\n");
      return 1;
    }
    close(fd);
    std::string modulePath = temp;
    if (!writeBytes(modulePath, module)) {
      std::fprintf(stderr, "krc: cannot write %s\n", modulePath.c_str());
      unlink(temp);
      return 1;
    }
    int code;
    if (run) {
      std::vector<std::string> args = {tools + "/krrun"};
      if (debug) args.push_back("--debug");
      args.push_back(modulePath);
      code = runProgram(args);
    } else {
      if (output.empty()) {
        auto dot = input.rfind('.');
        output = dot == std::string::npos || input.find('/', dot) != std::string::npos ? input + ".game" : input.substr(0, dot);
      }
      code = runProgram({tools + "/krpack", modulePath, "-o", output, "--runner", tools + "/krrun"});
    }
    unlink(temp);
    return code;
  }
  if (output.empty()) {
    auto dot = input.rfind('.');
    output = (dot == std::string::npos || input.find('/', dot) != std::string::npos ? input : input.substr(0, dot)) + ".krm";
  }
  if (!writeBytes(output, module)) {
    std::fprintf(stderr, "krc: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}
