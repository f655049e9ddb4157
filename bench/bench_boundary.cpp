// Cost of the module boundary: module code calls a trivial routine 10 million
// times, once through the boundary wrapper and once directly.
#include <dlfcn.h>

#include <cstdio>

#include "bench/bench_support.h"
#include "runtime/boundary.h"
#include "runtime/linker.h"
#include "runtime/runtime_api.h"

namespace {

// Commands usually sit in the translation unit of their group's table, so the
// wrapper can take the body in; the noinline twin shows the cost when it cannot.
int trivial(int x) { return x + 1; }
__attribute__((noinline)) int trivialOutOfLine(int x) { return x + 1; }

// The body of the runtime's _krAbs, called directly.
__attribute__((noinline)) int directAbs(int a) {
  return a >= 0 ? a : static_cast<int>(0u - static_cast<unsigned>(a));
}

// _krAbs as the shipped runtime registers it: its boundary entry in libkrruntime.so.
void* registeredAbs() {
  void* library = dlopen(KR_BUILD_DIR "/libkrruntime.so", RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  auto get = reinterpret_cast<Runtime* (*)()>(dlsym(library, "runtimeGetRuntime"));
  void* address = nullptr;
  while (const char* name = get()->nextSym())
    if (std::string(name) == "_krAbs") address = reinterpret_cast<void*>(static_cast<std::uintptr_t>(get()->symValue(name)));
  return address;
}

constexpr std::uint32_t kCalls = 10000000;

// loop: push ecx; push ecx; call _ftrivial; add esp,4; pop ecx; dec ecx; jnz loop; ret
std::vector<std::uint8_t> callLoopModule() {
  std::vector<std::uint8_t> code = {0x53, 0xB9};  // push ebx; mov ecx, kCalls
  krbench::put32(code, kCalls);
  std::size_t loop = code.size();
  code.insert(code.end(), {0x51, 0x51, 0xE8, 0xFC, 0xFF, 0xFF, 0xFF, 0x83, 0xC4, 0x04, 0x59, 0x49, 0x75});
  std::size_t fixup = loop + 3;
  code.push_back(static_cast<std::uint8_t>(loop - (code.size() + 1)));
  code.insert(code.end(), {0x5B, 0xC3});  // pop ebx; ret
  std::vector<std::uint8_t> module;
  krbench::put32(module, static_cast<std::uint32_t>(code.size()));
  module.insert(module.end(), code.begin(), code.end());
  krbench::put32(module, 0);
  krbench::put32(module, 1);
  krbench::putEntry(module, "_ftrivial", static_cast<std::uint32_t>(fixup));
  krbench::put32(module, 0);
  return module;
}

double timeCalls(void* routine) {
  std::vector<std::uint8_t> module = callLoopModule();
  std::map<std::string, std::uint32_t> table = {
      {"_ftrivial", static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(routine))}};
  kr::LinkResult linked = kr::linkModule(module.data(), module.size(), table);
  if (linked.status != kr::LinkResult::kLinked) return -1;
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    auto start = std::chrono::steady_clock::now();
    linked.entry();
    best = std::min(best, krbench::secondsSince(start));
  }
  kr::releaseLinkedModule(linked);
  return best;
}

}  // namespace

int main() {
  double direct = timeCalls(reinterpret_cast<void*>(&trivial));
  double wrapped = timeCalls(reinterpret_cast<void*>(&kr::Boundary<&trivial>::entry));
  double apart = timeCalls(reinterpret_cast<void*>(&kr::Boundary<&trivialOutOfLine>::entry));
  double directAbsTime = timeCalls(reinterpret_cast<void*>(&directAbs));
  void* shipped = registeredAbs();
  double shippedTime = shipped ? timeCalls(shipped) : -1;
  std::printf("module boundary, %u calls from module code (best of 5)\n", kCalls);
  std::printf("  direct call                        %8.2f ms  %6.2f ns/call\n", direct * 1e3, direct * 1e9 / kCalls);
  std::printf("  boundary wrapper                   %8.2f ms  %6.2f ns/call\n", wrapped * 1e3, wrapped * 1e9 / kCalls);
  std::printf("  wrapper around a routine it cannot inline: %.2f ms, ratio %.2f\n", apart * 1e3, apart / direct);
  std::printf("_krAbs in libkrruntime.so (its table and body in different files, linked with LTO)\n");
  std::printf("  direct call of the same body        %8.2f ms\n", directAbsTime * 1e3);
  std::printf("  registered entry                    %8.2f ms\n", shippedTime * 1e3);
  krbench::Targets targets;
  targets.atMost("boundary wrapper time / direct call", wrapped / direct, 1.30);
  if (shipped)
    targets.atMost("registered _krAbs time / direct call", shippedTime / directAbsTime, 1.30);
  else
    std::printf("  libkrruntime.so not found: the registered entry was not measured\n");
  return targets.exitCode();
}
