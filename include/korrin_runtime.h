// The Runtime and Debugger interfaces, in slot order. A development environment
// loads libkrruntime.so, calls runtimeGetRuntime and drives a run through them.
#pragma once
#include <streambuf>

class Debugger {
 public:
  virtual void debugRun() = 0;
  virtual void debugStop() = 0;
  virtual void debugStmt(int a, int b) = 0;
  virtual void debugEnter(int a, int b, int c) = 0;
  virtual void debugLeave() = 0;
  virtual void debugInfo(const char* message) = 0;
  virtual void debugError(const char* message) = 0;
  virtual void debugLog(const char* message) = 0;
};

class Runtime {
 public:
  virtual int version() = 0;
  virtual const char* nextSym() = 0;
  virtual int symValue(const char* name) = 0;
  virtual void startup(void* instance) = 0;
  virtual void shutdown() = 0;
  virtual void execute(void (*entry)(), Debugger* debugger, unsigned char debug, int windowFlags) = 0;
  virtual void asyncStop() = 0;
  virtual void asyncRun() = 0;
  virtual void asyncEnd() = 0;
  virtual void checkMem(std::streambuf* buffer) = 0;
  virtual void reserved10() = 0;
  virtual void reserved11() = 0;
};

extern "C" Runtime* runtimeGetRuntime();

// The stand-alone entry: finds the module (embedded, or named on the command
// line), links and runs it. Returns the process exit code.
extern "C" int krWinMain(int argc, char** argv);
