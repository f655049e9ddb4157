#include "tests/support/module_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace krtest {

std::vector<std::string> RunResult::logs() const {
  std::vector<std::string> lines;
  const std::string prefix = "debugLog: ";
  for (const std::string& line : splitLines(err))
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line.substr(prefix.size()));
  return lines;
}

std::string RunResult::value(const std::string& label) const {
  for (const std::string& line : logs())
    if (line.compare(0, label.size() + 1, label + "=") == 0) return line.substr(label.size() + 1);
  return "(missing " + label + ")";
}

int RunResult::number(const std::string& label) const { return std::atoi(value(label).c_str()); }

std::string buildPath(const std::string& file) { return std::string(KR_BUILD_DIR) + "/" + file; }
std::string modulePath(const std::string& name) { return buildPath("modules/" + name + ".krm"); }

TempDir::TempDir() {
  char templ[] = "/tmp/krtest-XXXXXX";
  path_ = mkdtemp(templ);
}
TempDir::~TempDir() {
  std::string command = "rm -rf '" + path_ + "'";
  if (std::system(command.c_str()) != 0) {
  }
}

std::string shellOutput(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, p)) out += buffer;
  pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

static long nowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  TempDir scratch;
  std::string workDir = options.workDir.empty() ? scratch.path() : options.workDir;
  int outPipe[2], errPipe[2], inPipe[2];
  if (pipe(outPipe) || pipe(errPipe) || pipe(inPipe)) return RunResult();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
    if (chdir(workDir.c_str()) != 0) _exit(126);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    for (const std::string& e : options.env) putenv(strdup(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  signal(SIGPIPE, SIG_IGN);
  if (!options.stdinText.empty() &&
      write(inPipe[1], options.stdinText.data(), options.stdinText.size()) < 0) {
  }
  close(inPipe[1]);
  RunResult result;
  long deadline = nowMs() + options.timeoutMs;
  bool outOpen = true, errOpen = true, signalled = options.signals.empty();
  long signalledAt = 0;
  while (outOpen || errOpen) {
    if (!signalled && result.err.find(options.signalWhen) != std::string::npos) {
      for (std::size_t i = 0; i < options.signals.size(); ++i) {
        if (i) usleep(static_cast<useconds_t>(options.signalGapMs) * 1000);
        kill(pid, options.signals[i]);
      }
      signalled = true;
      signalledAt = nowMs();
    }
    long left = deadline - nowMs();
    if (left <= 0) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errPipe[0] : -1, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(left)) <= 0) continue;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        (i == 0 ? outOpen : errOpen) = false;
      } else {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      }
    }
  }
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (signalledAt) result.msAfterSignals = nowMs() - signalledAt;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.killedBy = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return result;
}

RunResult runModule(const std::string& name, const RunOptions& options) {
  std::vector<std::string> argv = {buildPath("krrun")};
  if (options.debug) argv.push_back("--debug");
  for (const std::string& a : options.extraArgs) argv.push_back(a);
  argv.push_back(name.find('/') == std::string::npos ? modulePath(name) : name);
  return runProgram(argv, options);
}

}  // namespace krtest

namespace krtest {

RunResult runModuleIn(const std::string& name, const TempDir& dir, RunOptions options) {
  options.workDir = dir.path();
  return runModule(name, options);
}

}  // namespace krtest
