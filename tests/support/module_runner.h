// Runs krrun on a module the way a user would, headless, and collects what it
// printed and how it exited.
#pragma once
#include <string>
#include <vector>

namespace krtest {

struct RunResult {
  int exitCode = -1;     // 0..255, or -1 when krrun was killed
  int killedBy = 0;      // the signal that ended it, if one did
  bool timedOut = false;
  long msAfterSignals = -1;  // from the last signal sent to the end of the run
  std::string out;       // standard output
  std::string err;       // standard error
  // The "debugLog: ..." lines of the console debugger, without the prefix.
  std::vector<std::string> logs() const;
  bool errContains(const std::string& text) const { return err.find(text) != std::string::npos; }
  // The value of the first "label=value" log line, or "(missing label)".
  std::string value(const std::string& label) const;
  int number(const std::string& label) const;
};

struct RunOptions {
  bool debug = true;                 // pass --debug (console debugger on stderr)
  std::string workDir;               // current directory of the run ("" = a fresh temporary one)
  std::string stdinText;             // fed to standard input
  std::vector<std::string> env;      // extra NAME=VALUE settings
  int timeoutMs = 20000;
  std::vector<std::string> extraArgs;
  // Once standard error shows signalWhen, these signals are sent signalGapMs apart.
  std::string signalWhen;
  std::vector<int> signals;
  int signalGapMs = 0;
};

// Path of a module built from tests/modules (or examples): modules/NAME.krm.
std::string modulePath(const std::string& name);
std::string buildPath(const std::string& file);  // build/FILE

// Runs build/krrun [--debug] MODULE_PATH.
RunResult runModule(const std::string& name, const RunOptions& options = RunOptions());
class TempDir;
// Runs the module with the given directory as its current directory.
RunResult runModuleIn(const std::string& name, const TempDir& dir, RunOptions options = RunOptions());
// Runs any program with arguments (krrun, krpack, a packed game).
RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& options = RunOptions());

// A fresh empty directory under /tmp, removed by the caller's TempDir.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Standard output of a shell command, trailing newlines and spaces dropped.
std::string shellOutput(const std::string& command);

// The lines of a text, without their line feeds.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace krtest
