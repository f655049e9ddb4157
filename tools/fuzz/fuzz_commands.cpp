// fuzz_commands: calls every registered command with hostile arguments inside
// real runs, the way compiled code calls them.
//
// The command list is read through the Runtime interface (nextSym/symValue),
// so a newly registered command is covered without touching this file. Each
// command's signature gives its parameter and result types; arguments are
// garbage, freed and foreign handles (results of earlier calls), extreme and
// random numbers and strings. A plan of calls is run through execute() with the
// harness as the entry; a runtime error ends the run and the plan goes on in a
// fresh one, so handles from ended runs come back as stale handles. A processor
// fault inside a command (it surfaces as "Illegal memory address" and the
// like), a sanitizer report or a hang is a failure: the plan is written to a
// file that --replay runs again. A long run whose address space the sanitizer's
// allocator has used up goes on in a fresh process, with a seed it prints.
//
//   fuzz_commands [--seconds N] [--seed S] [--debug] [--out DIR]
//   fuzz_commands --handles       with handle checks on, a made-up handle gives
//                                 the command's "... does not exist" error
//   fuzz_commands --replay FILE|DIR ...
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lang/kr_string.h"
#include "runtime/runtime_api.h"
#include "tools/fuzz/fuzz_random.h"

namespace {

// ---------------------------------------------------------------------------
// What the harness must know beyond the signatures: kept small, by name.

// Commands never called: they hand their text to the shell.
const char* const kSkipped[] = {"ExecFile"};

// Commands that may wait for the user or for ever; the watchdog ends the run
// when one of them has waited this long.
const char* const kWaiting[] = {"Stop", "WaitTimer", "WaitKey", "WaitMouse", "MouseWait",
                                "WaitJoy", "JoyWait", "Input"};
constexpr int kWaitingBudgetMs = 300;
// Anything else taking this long (after the end request) is a hang.
constexpr int kHangMs = 30000;

// Integer parameters whose values only change how long a command waits.
struct Bound {
  const char* command;
  int param;
  int low, high;
};
const Bound kBounds[] = {{"Delay", 0, -5, 20}, {"VWait", 0, -2, 2}, {"CreateTimer", 0, -5, 2000}};

// Handle parameters (by name) and the error a made-up value gives with handle
// checks on. Commands that close or free a handle ignore a dead one.
const std::pair<const char*, const char*> kHandleErrors[] = {
    {"file", "File does not exist"},   {"dir", "Directory does not exist"},
    {"bank", "Bank does not exist"},   {"buffer", "Buffer does not exist"},
    {"image", "Image does not exist"}, {"font", "Font does not exist"},
    {"sound", "Sound does not exist"},
};
// Commands that take such a handle unchecked by design ("Name*": every name
// starting so): closing or freeing ignores a dead handle, the fast pixel
// commands trust theirs.
const char* const kUncheckedHandles[] = {"Close*", "Free*", "ReadPixelFast", "WritePixelFast"};

// Messages of processor faults: a command that ends with one of them crashed.
const char* const kFaultMessages[] = {"Illegal memory address", "Illegal instruction",
                                      "Integer divide by zero", "Stack overflow!",
                                      "Unknown runtime exception"};
// ... unless a command raises one of them itself, as documented.
const std::pair<const char*, const char*> kDocumentedFaultMessages[] = {
    {"CreateTimer", "Integer divide by zero"},    // a rate of 0 hertz
    {"LoadAnimImage", "Integer divide by zero"},  // cells 0 pixels wide or high
};

// ---------------------------------------------------------------------------
// Commands from the table.

struct Param {
  char type;  // '%', '#' or '$'
  std::string name;
};

struct Command {
  const char* signature;
  std::string name;
  char result = 0;  // 0 for none
  std::vector<Param> params;
  std::uint32_t address = 0;
  bool waits = false;
};

template <std::size_t N>
bool listed(const char* const (&list)[N], const std::string& name) {
  for (const char* entry : list)
    if (name == entry) return true;
  return false;
}

bool isType(char c) { return c == '%' || c == '#' || c == '$'; }

Command parseSignature(const char* signature, std::uint32_t address) {
  Command c;
  c.signature = signature;
  c.address = address;
  const char* p = signature;
  if (isType(*p)) c.result = *p++;
  while (*p && !isType(*p)) c.name += *p++;
  while (*p) {
    Param param;
    param.type = *p++;
    while (*p && !isType(*p) && *p != '=') param.name += *p++;
    if (*p == '=') {
      ++p;
      while (*p && !isType(*p)) {
        if (*p == '"') {  // the empty-string default ""
          p += 2;
          continue;
        }
        ++p;
      }
    }
    c.params.push_back(param);
  }
  c.waits = listed(kWaiting, c.name);
  return c;
}

std::vector<Command> readCommands(Runtime& runtime) {
  std::vector<Command> commands;
  for (const char* name = runtime.nextSym(); name; name = runtime.nextSym()) {
    if (name[0] == '_') continue;  // support routines trust the compiler's arguments
    Command c = parseSignature(name, static_cast<std::uint32_t>(runtime.symValue(name)));
    if (!listed(kSkipped, c.name)) commands.push_back(c);
  }
  return commands;
}

// ---------------------------------------------------------------------------
// Plans: calls with their arguments, as text that --replay reads back.

enum class ArgKind { Int, Float, String, NullString, Result, Pointer };

struct Arg {
  ArgKind kind = ArgKind::Int;
  std::uint32_t value = 0;  // Int: the value; Float: the bits; Result: call index; Pointer: offset
  std::string text;         // String
};

struct Call {
  const Command* command = nullptr;
  std::vector<Arg> args;
  std::vector<const char*> expectedErrors;  // --handles: one of these errors must end the call
};

struct Plan {
  bool debug = false;
  std::vector<Call> calls;
};

std::string escape(const std::string& text) {
  // Long runs of one byte are written as a count.
  if (text.size() > 64 && text.find_first_not_of(text[0]) == std::string::npos) {
    char head[32];
    std::snprintf(head, sizeof head, "s*%zu:%02X", text.size(), static_cast<unsigned char>(text[0]));
    return head;
  }
  std::string out = "s:";
  for (unsigned char ch : text) {
    if (ch > 0x20 && ch < 0x7F && ch != '%' && ch != '\\') {
      out += static_cast<char>(ch);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", ch);
      out += hex;
    }
  }
  return out;
}

std::string argText(const Arg& a) {
  char buffer[48];
  switch (a.kind) {
    case ArgKind::Int:
      std::snprintf(buffer, sizeof buffer, "i:%d", static_cast<int>(a.value));
      return buffer;
    case ArgKind::Float:
      std::snprintf(buffer, sizeof buffer, "f:%08X", a.value);
      return buffer;
    case ArgKind::String:
      return escape(a.text);
    case ArgKind::NullString:
      return "s-";
    case ArgKind::Result:
      std::snprintf(buffer, sizeof buffer, "r:%u", a.value);
      return buffer;
    case ArgKind::Pointer:
      std::snprintf(buffer, sizeof buffer, "p:%u", a.value);
      return buffer;
  }
  return "?";
}

std::string planText(const Plan& plan) {
  std::string out = plan.debug ? "debug 1\n" : "debug 0\n";
  for (const Call& call : plan.calls) {
    out += call.command->name;
    for (const Arg& a : call.args) out += " " + argText(a);
    out += "\n";
  }
  return out;
}

bool parseArg(const std::string& token, Arg& a) {
  if (token == "s-") {
    a.kind = ArgKind::NullString;
    return true;
  }
  if (token.size() < 2) return false;
  std::string body = token.substr(2);
  if (token.compare(0, 2, "s*") == 0) {
    unsigned long count;
    unsigned byte;
    if (std::sscanf(body.c_str(), "%lu:%x", &count, &byte) != 2) return false;
    a.kind = ArgKind::String;
    a.text.assign(count, static_cast<char>(byte));
    return true;
  }
  if (token[1] != ':') return false;
  switch (token[0]) {
    case 'i':
      a.kind = ArgKind::Int;
      a.value = static_cast<std::uint32_t>(std::strtol(body.c_str(), nullptr, 10));
      return true;
    case 'f':
      a.kind = ArgKind::Float;
      a.value = static_cast<std::uint32_t>(std::strtoul(body.c_str(), nullptr, 16));
      return true;
    case 'r':
    case 'p':
      a.kind = token[0] == 'r' ? ArgKind::Result : ArgKind::Pointer;
      a.value = static_cast<std::uint32_t>(std::strtoul(body.c_str(), nullptr, 10));
      return true;
    case 's':
      a.kind = ArgKind::String;
      for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '%' && i + 2 < body.size()) {
          a.text += static_cast<char>(std::strtoul(body.substr(i + 1, 2).c_str(), nullptr, 16));
          i += 2;
        } else {
          a.text += body[i];
        }
      }
      return true;
  }
  return false;
}

bool parsePlan(const std::string& text, const std::vector<Command>& commands, Plan& plan,
               std::string& problem) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string name;
    words >> name;
    if (name == "debug") {
      int on = 0;
      words >> on;
      plan.debug = on != 0;
      continue;
    }
    Call call;
    for (const Command& c : commands)
      if (c.name == name) call.command = &c;
    if (!call.command) {
      problem = "line " + std::to_string(number) + ": no command " + name;
      return false;
    }
    std::string token;
    while (words >> token) {
      Arg a;
      if (!parseArg(token, a)) {
        problem = "line " + std::to_string(number) + ": bad argument " + token;
        return false;
      }
      call.args.push_back(a);
    }
    if (call.args.size() != call.command->params.size()) {
      problem = "line " + std::to_string(number) + ": " + name + " takes " +
                std::to_string(call.command->params.size()) + " arguments";
      return false;
    }
    plan.calls.push_back(call);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Generating hostile arguments.

using krfuzz::Random;

template <class T, std::size_t N>
const T& pick(Random& r, const T (&items)[N]) {
  return items[r.below(N)];
}

// Sizes of a gigabyte are left to the random values: commands that honour them
// take seconds.
const std::int32_t kExtremeInts[] = {0,     1,      -1,      2,          255,        256,       32767,
                                     32768, 65535,  65536,   0x7FFFFFFF, 0x7FFFFFFE, INT32_MIN, -2,
                                     -32768, 1 << 24, -0x40000000, 16,  4096,       100000,    -100000};
const float kExtremeFloats[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e30f, -1e30f, 3.4028235e38f,
                                1e-45f, 1e-38f, 360.0f, -720.5f, 2147483648.0f, 16777217.0f};
// Names of things in the sandbox, and texts that mean something to commands.
const char* const kTexts[] = {"a.txt", "A.TXT", "sub", "sub\\b.txt", "sub/b.txt", "missing.txt",
                              "new.txt", "newdir", ".", "..", "*", "sub\\", "0", "-1", "1e400",
                              "%s%n%x", "\xff\xfe", "a\r\nb\rc\n", "Courier", "out.bmp"};

// handles: the calls so far whose integer result may be a handle; kin: those
// made by a command named after the parameter (a bank from CreateBank).
Arg randomInt(Random& r, const std::vector<std::uint32_t>& handles, const std::vector<std::uint32_t>& kin) {
  Arg a;
  if (!kin.empty() && r.chance(40)) {
    a.kind = ArgKind::Result;
    a.value = kin[r.below(static_cast<std::uint32_t>(kin.size()))];
    return a;
  }
  switch (r.below(20)) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:  // a result of an earlier call: live, freed or from an ended run
      if (!handles.empty()) {
        a.kind = ArgKind::Result;
        a.value = handles[r.below(static_cast<std::uint32_t>(handles.size()))];
        return a;
      }
      break;
    case 6:
    case 7:  // an address that is no record at all
      a.kind = ArgKind::Pointer;
      a.value = r.below(64);
      return a;
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
      a.value = static_cast<std::uint32_t>(pick(r, kExtremeInts));
      return a;
    case 13:
    case 14:
    case 15:
    case 16:
      a.value = static_cast<std::uint32_t>(static_cast<int>(r.below(1300)) - 300);
      return a;
    case 17: {  // random bits near zero or near the negative end
      std::uint32_t low = (r.next() ^ (r.next() << 16)) & 0x00FFFFFFu;
      static const std::uint32_t tops[] = {0x00000000u, 0xFF000000u, 0x80000000u};
      a.value = pick(r, tops) | low;
      return a;
    }
    default:
      break;
  }
  a.value = r.below(64);
  return a;
}

Arg randomFloat(Random& r) {
  Arg a;
  a.kind = ArgKind::Float;
  float f;
  switch (r.below(5)) {
    case 0:
    case 1:
      f = pick(r, kExtremeFloats);
      break;
    case 2:
      f = r.chance(50) ? INFINITY : (r.chance(50) ? -INFINITY : NAN);
      break;
    case 3:
      f = static_cast<float>(static_cast<int>(r.below(2000)) - 1000) / 8.0f;
      break;
    default: {
      std::uint32_t bits = r.next() ^ (r.next() << 16);
      std::memcpy(&a.value, &bits, 4);
      return a;
    }
  }
  std::memcpy(&a.value, &f, 4);
  return a;
}

Arg randomString(Random& r) {
  Arg a;
  a.kind = ArgKind::String;
  switch (r.below(8)) {
    case 0:
      a.kind = ArgKind::NullString;
      return a;
    case 1:
    case 2:
    case 3:
      a.text = pick(r, kTexts);
      return a;
    case 4: {  // long runs: line buffers, name limits, repeat counts
      static const std::size_t sizes[] = {255, 256, 260, 4096, 65536, 1 << 20};
      a.text.assign(pick(r, sizes), static_cast<char>('A' + r.below(26)));
      return a;
    }
    default: {  // random bytes, never a path separator: the sandbox keeps its files
      std::size_t n = r.below(24);
      for (std::size_t i = 0; i < n; ++i) {
        char c = static_cast<char>(r.chance(70) ? 'a' + r.below(26) : r.below(256));
        if (c == '/' || c == '\\') c = '_';
        a.text += c;
      }
      return a;
    }
  }
}

// A command that makes something: an integer result from no handle at all
// (CreateBank, ReadFile, CreateTimer, FrontBuffer, ...).
bool makesHandles(const Command& c) {
  if (c.result != '%') return false;
  for (const Param& p : c.params)
    for (const auto& h : kHandleErrors)
      if (p.name == h.first) return false;
  return true;
}

// Sensible arguments for a maker: small sizes, the sandbox's names.
Arg saneArg(Random& r, const Param& p) {
  Arg a;
  if (p.type == '$') {
    a.kind = ArgKind::String;
    a.text = pick(r, kTexts);
  } else if (p.type == '#') {
    a.kind = ArgKind::Float;
    float f = static_cast<float>(r.below(64));
    std::memcpy(&a.value, &f, 4);
  } else {
    a.value = 1 + r.below(64);
  }
  return a;
}

std::string lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// True when a maker's name mentions the parameter: CreateBank makes banks,
// ReadFile files, FrontBuffer buffers.
bool makesKind(const Command& maker, const std::string& param) {
  return param.size() >= 3 && lower(maker.name).find(param) != std::string::npos;
}

// A plan opens with makers called sensibly, one for each kind of handle that a
// parameter takes, so later calls meet live handles (with hostile offsets and
// sizes), and handles freed since.
Plan randomPlan(Random& r, const std::vector<Command>& commands, bool debug, std::size_t length) {
  Plan plan;
  plan.debug = debug;
  std::vector<const Command*> makers, prelude;
  for (const Command& c : commands)
    if (makesHandles(c) && !c.waits) makers.push_back(&c);
  std::map<std::string, std::vector<const Command*>> kindMakers;
  for (const Command& c : commands)
    for (const Param& p : c.params)
      if (p.type == '%')
        for (const Command* m : makers)
          if (makesKind(*m, p.name)) kindMakers[p.name].push_back(m);
  for (auto& kind : kindMakers)
    for (int n = 0; n < 2; ++n) prelude.push_back(kind.second[r.below(static_cast<std::uint32_t>(kind.second.size()))]);
  while (!makers.empty() && prelude.size() < length / 10)
    prelude.push_back(makers[r.below(static_cast<std::uint32_t>(makers.size()))]);

  std::vector<std::uint32_t> handles;
  std::map<std::string, std::vector<std::uint32_t>> kin;
  for (std::size_t i = 0; i < length; ++i) {
    Call call;
    bool sane = i < prelude.size();
    call.command = sane ? prelude[i] : &commands[r.below(static_cast<std::uint32_t>(commands.size()))];
    // Waiting commands cost the watchdog's budget each: call them seldom.
    if (call.command->waits && !r.chance(10)) {
      --i;
      continue;
    }
    for (std::size_t k = 0; k < call.command->params.size(); ++k) {
      const Param& p = call.command->params[k];
      Arg a = sane ? saneArg(r, p)
              : p.type == '%' ? randomInt(r, handles, kin[p.name])
              : p.type == '#' ? randomFloat(r)
                              : randomString(r);
      for (const Bound& b : kBounds)
        if (call.command->name == b.command && static_cast<int>(k) == b.param) {
          a = Arg();
          a.value = static_cast<std::uint32_t>(b.low + static_cast<int>(r.below(b.high - b.low + 1)));
        }
      call.args.push_back(a);
    }
    if (call.command->result == '%') {
      handles.push_back(static_cast<std::uint32_t>(i));
      for (auto& kind : kindMakers)
        if (makesKind(*call.command, kind.first)) kin[kind.first].push_back(static_cast<std::uint32_t>(i));
    }
    plan.calls.push_back(call);
  }
  return plan;
}

// With handle checks on: each handle parameter of each command, given a value
// that was never a handle, must give the command's documented error.
Plan handlePlan(const std::vector<Command>& commands) {
  Plan plan;
  plan.debug = true;
  for (const Command& c : commands) {
    bool unchecked = false;
    for (const char* pattern : kUncheckedHandles) {
      std::size_t n = std::strlen(pattern);
      unchecked |= pattern[n - 1] == '*' ? c.name.compare(0, n - 1, pattern, n - 1) == 0 : c.name == pattern;
    }
    if (unchecked || c.waits) continue;
    // A command checks its handles in its own order: any of their errors will do.
    std::vector<const char*> errors;
    for (const Param& p : c.params)
      for (const auto& h : kHandleErrors)
        if (p.type == '%' && p.name == h.first) errors.push_back(h.second);
    for (std::size_t k = 0; k < c.params.size(); ++k) {
      if (c.params[k].type != '%') continue;
      const char* expected = nullptr;
      for (const auto& h : kHandleErrors)
        if (c.params[k].name == h.first) expected = h.second;
      if (!expected) continue;
      Call call;
      call.command = &c;
      call.expectedErrors = errors;
      for (std::size_t j = 0; j < c.params.size(); ++j) {
        Arg a;
        if (j == k) {
          a.kind = ArgKind::Pointer;  // inside the harness's own memory: never a record
          a.value = 8;
        } else if (c.params[j].type == '$') {
          a.kind = ArgKind::NullString;
        }
        call.args.push_back(a);
      }
      plan.calls.push_back(call);
    }
  }
  return plan;
}

// ---------------------------------------------------------------------------
// Running a plan inside real runs.

Runtime* gRuntime = nullptr;
const Plan* gPlan = nullptr;
std::size_t gNext = 0;                  // the next call of the plan
std::vector<std::uint32_t> gResults;    // integer results, by call
alignas(16) std::uint8_t gForeign[64];  // the memory that Pointer arguments point into
int gSandbox = -1;                      // the directory file commands work in

std::atomic<long> gCallStartedMs{-1};   // -1: no call in progress
std::atomic<bool> gCallWaits{false};
std::atomic<bool> gEndPosted{false};

struct Failure {
  std::string what;
  std::size_t call = 0;
};
std::vector<Failure> gFailures;
std::map<std::string, int> gErrorCounts;

long nowMs() {
  using namespace std::chrono;
  return static_cast<long>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

class RecordingDebugger final : public Debugger {
 public:
  const char* error = nullptr;
  std::size_t errorCall = 0;
  void debugRun() override {}
  void debugStop() override { gRuntime->asyncRun(); }  // Stop resumes at once
  void debugStmt(int, int) override {}
  void debugEnter(int, int, int) override {}
  void debugLeave() override {}
  void debugInfo(const char*) override {}
  void debugError(const char* message) override {
    error = message;
    errorCall = gNext - 1;
  }
  void debugLog(const char*) override {}
};

typedef std::uint32_t (*IntCall)(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                 std::uint32_t, std::uint32_t, std::uint32_t);
typedef float (*FloatCall)(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                           std::uint32_t, std::uint32_t, std::uint32_t);

krString* newString(const std::string& text) {
  try {
    return kr::krStringNew(text.data(), text.size());
  } catch (...) {
    return nullptr;
  }
}

// One call as compiled code makes it: 4-byte stack slots, the caller removes
// them (so unused trailing slots do no harm). A runtime error inside leaves
// this frame by a jump, so nothing here needs destroying across the call.
void performCall(std::size_t index) {
  const Call& call = gPlan->calls[index];
  std::uint32_t words[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  for (std::size_t k = 0; k < call.args.size() && k < 8; ++k) {
    const Arg& a = call.args[k];
    switch (a.kind) {
      case ArgKind::Int:
      case ArgKind::Float:
        words[k] = a.value;
        break;
      case ArgKind::Result:
        words[k] = a.value < gResults.size() ? gResults[a.value] : 0;
        break;
      case ArgKind::Pointer:
        words[k] = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(gForeign + a.value % 64));
        break;
      case ArgKind::NullString:
        words[k] = 0;
        break;
      case ArgKind::String:
        words[k] = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(newString(a.text)));
        break;
    }
  }
  const Command& c = *call.command;
  gCallWaits = c.waits;
  gCallStartedMs = nowMs();
  std::uint32_t result = 0;
  if (c.result == '#') {
    float f = reinterpret_cast<FloatCall>(static_cast<std::uintptr_t>(c.address))(
        words[0], words[1], words[2], words[3], words[4], words[5], words[6], words[7]);
    std::memcpy(&result, &f, 4);
  } else {
    result = reinterpret_cast<IntCall>(static_cast<std::uintptr_t>(c.address))(
        words[0], words[1], words[2], words[3], words[4], words[5], words[6], words[7]);
  }
  gCallStartedMs = -1;
  if (c.result == '$') kr::krStringDelete(reinterpret_cast<krString*>(static_cast<std::uintptr_t>(result)));
  if (c.result == '%') gResults[index] = result;
  if (!call.expectedErrors.empty())
    gFailures.push_back({c.name + " gave no error (expected \"" + call.expectedErrors[0] + "\")", index});
  if (fchdir(gSandbox) != 0) std::abort();  // ChangeDir must not take the harness elsewhere
}

void fuzzEntry() {
  while (gNext < gPlan->calls.size()) {
    std::size_t index = gNext++;
    performCall(index);
    // --handles: one call per run, so each error is the one call's.
    if (!gPlan->calls[index].expectedErrors.empty()) return;
  }
}

bool isFault(const Command& command, const char* message) {
  for (const auto& documented : kDocumentedFaultMessages)
    if (command.name == documented.first && !std::strcmp(message, documented.second)) return false;
  for (const char* f : kFaultMessages)
    if (!std::strcmp(message, f)) return true;
  return false;
}

// Ends a run whose waiting command has waited long enough; fails a hang.
void watchdog(std::atomic<bool>& stop, const std::string& planFile) {
  while (!stop) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    long started = gCallStartedMs;
    if (started < 0) continue;
    long waited = nowMs() - started;
    if (gCallWaits && waited > kWaitingBudgetMs && !gEndPosted.exchange(true)) gRuntime->asyncEnd();
    if (waited > kHangMs) {
      std::fprintf(stderr, "fuzz_commands: call %zu (%s) hangs; plan in %s\n", gNext - 1,
                   gPlan->calls[gNext - 1].command->name.c_str(), planFile.c_str());
      std::_Exit(1);
    }
  }
}

// Runs a whole plan: as many runs as runtime errors make it take. Returns
// false when a call crashed or broke an expectation.
bool runPlan(const Plan& plan, const std::string& planFile) {
  {
    std::ofstream out(planFile, std::ios::binary | std::ios::trunc);
    out << planText(plan);
  }
  gPlan = &plan;
  gNext = 0;
  gResults.assign(plan.calls.size(), 0);
  gFailures.clear();
  std::atomic<bool> stop{false};
  std::thread dog(watchdog, std::ref(stop), planFile);
  while (gNext < plan.calls.size()) {
    RecordingDebugger debugger;
    gEndPosted = false;
    std::size_t first = gNext;
    gRuntime->execute(fuzzEntry, &debugger, plan.debug ? 1 : 0, 0);
    gCallStartedMs = -1;
    if (gNext == first) {
      gFailures.push_back({"a run could not start", first});
      break;
    }
    if (!debugger.error) continue;
    const Call& failed = plan.calls[debugger.errorCall];
    if (failed.command->name != "RuntimeError") ++gErrorCounts[failed.command->name + ": " + debugger.error];
    if (isFault(*failed.command, debugger.error)) {
      gFailures.push_back({failed.command->name + " crashed: " + debugger.error, debugger.errorCall});
    } else if (!plan.debug && std::strstr(debugger.error, " does not exist")) {
      // Handles are checked only in debug runs; otherwise a dead one is ignored.
      gFailures.push_back({failed.command->name + " checked a handle with checks off: " + debugger.error,
                           debugger.errorCall});
    } else if (!failed.expectedErrors.empty()) {
      bool documented = false;
      for (const char* e : failed.expectedErrors) documented |= !std::strcmp(debugger.error, e);
      if (!documented)
        gFailures.push_back({failed.command->name + " gave \"" + debugger.error + "\", expected \"" +
                                 failed.expectedErrors[0] + "\"", debugger.errorCall});
    }
  }
  stop = true;
  dog.join();
  for (const Failure& f : gFailures)
    std::fprintf(stderr, "FAIL: call %zu: %s\n  %s", f.call, f.what.c_str(),
                 planText(Plan{plan.debug, {plan.calls[f.call]}}).substr(8).c_str());
  if (!gFailures.empty()) std::fprintf(stderr, "fuzz_commands: plan kept in %s\n", planFile.c_str());
  return gFailures.empty();
}

// ---------------------------------------------------------------------------

std::string makeSandbox() {
  char templ[] = "/tmp/krfuzz-XXXXXX";
  if (!mkdtemp(templ)) return std::string();
  std::string dir = templ;
  std::ofstream(dir + "/a.txt") << "first line\r\nsecond\n";
  mkdir((dir + "/sub").c_str(), 0755);
  std::ofstream(dir + "/sub/b.txt") << std::string(300, 'b');
  return dir;
}

void removeTree(const std::string& path) {
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      std::string child = path + "/" + name;
      struct stat st;
      if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        removeTree(child);
      else
        unlink(child.c_str());
    }
    closedir(d);
  }
  rmdir(path.c_str());
}

std::vector<std::string> planFiles(const std::string& path) {
  std::vector<std::string> files;
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    if (DIR* d = opendir(path.c_str())) {
      while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) files.push_back(path + "/" + name);
      }
      closedir(d);
    }
    std::sort(files.begin(), files.end());
  } else {
    files.push_back(path);
  }
  return files;
}

// Under ASan the 32-bit allocator keeps, for the life of the process, every
// 1 MB region it once gave to small blocks: plans that asked for thousands of
// small image frames leave the address space used up for good, and then a
// large request kills the process inside the sanitizer. A long run goes on in
// a fresh process before that; in a normal build the space always comes back.
constexpr std::uint64_t kFreshProcessBelow = 256u << 20;

std::uint64_t largestFreeRange() {
  std::ifstream maps("/proc/self/maps");
  std::uint64_t largest = 0, end = 0x10000;  // below 64 KB nothing is mapped
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long long from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%llx-%llx", &from, &to) != 2) continue;
    if (from > end) largest = std::max<std::uint64_t>(largest, from - end);
    end = std::max<std::uint64_t>(end, to);
  }
  return std::max<std::uint64_t>(largest, end < (1ull << 32) ? (1ull << 32) - end : 0);
}

int usage() {
  std::fputs("Usage: fuzz_commands [--seconds N] [--seed S] [--debug] [--out DIR]\n"
             "       fuzz_commands --handles [--out DIR]\n"
             "       fuzz_commands --replay FILE|DIR... [--out DIR]\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 10;
  std::uint64_t seed = static_cast<std::uint64_t>(std::time(nullptr));
  bool debug = false, handles = false;
  std::string outDir;
  std::vector<std::string> replays;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (a == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--debug") {
      debug = true;
    } else if (a == "--handles") {
      handles = true;
    } else if (a == "--out" && i + 1 < argc) {
      outDir = argv[++i];
    } else if (a == "--replay") {
      while (i + 1 < argc && argv[i + 1][0] != '-') replays.push_back(argv[++i]);
    } else {
      return usage();
    }
  }
  // Paths are taken before the fuzzer moves into its sandbox.
  char cwd[4096];
  std::string here = getcwd(cwd, sizeof cwd) ? cwd : ".";
  auto absolute = [&](const std::string& path) { return path.empty() || path[0] == '/' ? path : here + "/" + path; };
  outDir = outDir.empty() ? here : absolute(outDir);
  for (std::string& r : replays) r = absolute(r);

  // Headless, silent, and no window of its own on a desktop.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);

  gRuntime = runtimeGetRuntime();
  gRuntime->startup(nullptr);
  std::vector<Command> commands = readCommands(*gRuntime);
  std::string sandbox = makeSandbox();
  gSandbox = open(sandbox.c_str(), O_RDONLY | O_DIRECTORY);
  if (commands.empty() || gSandbox < 0 || fchdir(gSandbox) != 0) {
    std::fprintf(stderr, "fuzz_commands: no commands or no sandbox\n");
    return 1;
  }
  // Tests may run side by side: each mode keeps its plan in a file of its own.
  std::string mode = !replays.empty() ? "replay" : handles ? "handles" : "seed-" + std::to_string(seed);
  std::string planFile = outDir + "/fuzz-commands-" + mode + ".txt";
  bool ok = true;
  std::size_t calls = 0, plans = 0;
  std::uint64_t freshSeed = 0;
  double secondsLeft = 0;

  if (!replays.empty()) {
    for (const std::string& arg : replays) {
      std::vector<std::string> files = planFiles(arg);
      if (files.empty()) {
        std::fprintf(stderr, "%s: no plans\n", arg.c_str());
        ok = false;
      }
      for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
          std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
          ok = false;
          continue;
        }
        Plan plan;
        std::string problem;
        if (!parsePlan(text.str(), commands, plan, problem)) {
          std::fprintf(stderr, "%s: %s\n", file.c_str(), problem.c_str());
          ok = false;
          continue;
        }
        std::printf("replay %s: %zu calls\n", file.c_str(), plan.calls.size());
        ok = runPlan(plan, planFile) && ok;
        calls += plan.calls.size();
        ++plans;
      }
    }
  } else if (handles) {
    Plan plan = handlePlan(commands);
    ok = runPlan(plan, planFile);
    calls = plan.calls.size();
    plans = 1;
  } else {
    std::printf("fuzz_commands: %zu commands, seed %llu, %s, %.0f s\n", commands.size(),
                static_cast<unsigned long long>(seed), debug ? "handle checks on" : "handle checks off",
                seconds);
    Random random(seed);
    long deadline = nowMs() + static_cast<long>(seconds * 1000);
    while (ok && nowMs() < deadline && !freshSeed) {
      Plan plan = randomPlan(random, commands, debug, 200);
      ok = runPlan(plan, planFile);
      calls += plan.calls.size();
      ++plans;
      if (largestFreeRange() < kFreshProcessBelow) freshSeed = random.next() | std::uint64_t{random.next()} << 32;
    }
    secondsLeft = static_cast<double>(deadline - nowMs()) / 1000;
  }
  std::printf("fuzz_commands: %zu calls in %zu plans, %s\n", calls, plans, ok ? "no faults" : "FAILED");
  for (const auto& e : gErrorCounts) std::printf("  %6d x %s\n", e.second, e.first.c_str());
  gRuntime->shutdown();
  if (fchdir(gSandbox) == 0 && chdir("/") == 0) removeTree(sandbox);
  if (ok) unlink(planFile.c_str());
  if (ok && freshSeed && secondsLeft > 1) {
    std::string seedText = std::to_string(freshSeed), secondsText = std::to_string(secondsLeft);
    std::printf("fuzz_commands: the address space is used up; going on in a fresh process\n");
    std::fflush(stdout);
    std::vector<const char*> args = {argv[0], "--seconds", secondsText.c_str(), "--seed", seedText.c_str(),
                                     "--out", outDir.c_str()};
    if (debug) args.push_back("--debug");
    args.push_back(nullptr);
    close(gSandbox);
    if (chdir(here.c_str()) == 0) execv("/proc/self/exe", const_cast<char* const*>(args.data()));
    std::perror("fuzz_commands: no fresh process");
    return 1;
  }
  return ok ? 0 : 1;
}
