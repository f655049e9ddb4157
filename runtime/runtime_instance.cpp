// The one Runtime instance handed out by runtimeGetRuntime.
#include <cstdint>
#include <map>
#include <ostream>

#include "host/host_runtime.h"
#include "runtime/command_table.h"
#include "runtime/linker.h"
#include "runtime/run.h"
#include "runtime/runtime_api.h"

namespace kr {
namespace {

// Keyed by the identity of the registered name string, as symValue requires.
std::map<const char*, int>* gTable = nullptr;

void storeSymbol(const char* name, int address) { (*gTable)[name] = address; }

class RuntimeImpl final : public Runtime {
 public:
  int version() override { return 145; }

  const char* nextSym() override {
    if (table_.empty()) {
      gTable = &table_;
      linkAll(storeSymbol);
      gTable = nullptr;
      cursor_ = table_.begin();
    }
    if (cursor_ == table_.end()) {
      table_.clear();
      return nullptr;
    }
    const char* name = cursor_->first;
    ++cursor_;
    return name;
  }

  int symValue(const char* name) override {
    auto it = table_.find(name);
    return it == table_.end() ? -1 : it->second;
  }

  void startup(void* instance) override { instance_ = instance; }
  void shutdown() override {
    table_.clear();
    cursor_ = table_.end();
  }

  void execute(void (*entry)(), Debugger* debugger, unsigned char debug, int windowFlags) override {
    executeProgram(entry, debugger, debug, windowFlags, instance_);
  }

  void asyncStop() override {
    if (currentHost()) HostRuntime::postPauseRequest();
  }
  void asyncRun() override {
    if (currentHost()) HostRuntime::postResumeRequest();
  }
  void asyncEnd() override {
    if (HostRuntime* host = currentHost()) host->requestEnd();
  }
  void checkMem(std::streambuf* buffer) override { std::ostream out(buffer); }
  void reserved10() override {}
  void reserved11() override {}

 private:
  std::map<const char*, int> table_;
  std::map<const char*, int>::iterator cursor_ = table_.end();
  void* instance_ = nullptr;
};

}  // namespace

std::map<std::string, std::uint32_t> buildRuntimeTable(Runtime& runtime) {
  std::map<std::string, std::uint32_t> table;
  while (const char* name = runtime.nextSym())
    table[linkName(name)] = static_cast<std::uint32_t>(runtime.symValue(name));
  return table;
}

}  // namespace kr

extern "C" __attribute__((visibility("default"))) Runtime* runtimeGetRuntime() {
  static kr::RuntimeImpl instance;
  return &instance;
}
