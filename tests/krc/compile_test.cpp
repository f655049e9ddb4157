// The compiler in-process: compile errors with their positions, every runtime
// command called with and without its optional parameters, and sources that
// are random or broken on purpose.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "compiler/compiler.h"
#include "compiler/lexer.h"
#include "korrin_runtime.h"
#include "runtime/linker.h"

namespace {

const krc::CommandTable& commands() {
  static krc::CommandTable table = [] {
    krc::CommandTable t;
    Runtime* runtime = runtimeGetRuntime();
    while (const char* name = runtime->nextSym()) t.addSignature(name);
    return t;
  }();
  return table;
}

const std::map<std::string, std::uint32_t>& runtimeTable() {
  static std::map<std::string, std::uint32_t> table = kr::buildRuntimeTable(*runtimeGetRuntime());
  return table;
}

struct Compiled {
  bool ok = false;
  std::vector<std::string> errors;
  std::vector<std::uint8_t> module;
};

Compiled compile(const std::string& source, bool debug = false) {
  Compiled c;
  krc::Diagnostics diag;
  krc::CompileOptions options;
  options.debug = debug;
  options.readIncludes = false;
  c.ok = krc::compileSource("t.kb", source, commands(), options, diag, c.module);
  c.errors = diag.messages;
  return c;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

// A compiled module must link against the runtime's table: every command
// reference resolves and every symbol lies in the code.
void expectLinks(const Compiled& c, const std::string& what) {
  ASSERT_TRUE(c.ok) << what << "\n" << joined(c.errors);
  kr::LinkResult linked = kr::linkModule(c.module.data(), c.module.size(), runtimeTable());
  EXPECT_EQ(linked.status, kr::LinkResult::kLinked) << what << " " << linked.missingName;
  kr::releaseLinkedModule(linked);
}

TEST(KrcCompile, BrokenProgramsReportLineAndColumn) {
  struct Case {
    const char* source;
    const char* error;  // the first error, "t.kb:LINE:COL: text..."
  };
  const Case cases[] = {
      {"x = (1 + 2\n", "t.kb:1:11: expected ')'"},
      {"x = 5 @ 3\n", "t.kb:1:7: unexpected character '@'"},
      {"x = \"abc\n", "t.kb:1:5: string literal has no closing quote"},
      {"\n  Wend\n", "t.kb:2:3: 'wend' without its opening statement"},
      {"If x Then\nDebugLog 1\n", "t.kb:1:1: If without EndIf"},
      {"Select x\nCase 1\n", "t.kb:1:1: Select without End Select"},
      {"For i = 1 To 10 Step x\nNext\n", "t.kb:1:22: Step must be a constant number"},
      {"Function f(a, b = 1, c)\nEnd Function\n", "t.kb:1:22: parameters after one with a default value need defaults too"},
      {"Goto nowhere\n", "t.kb:1:1: no label 'nowhere'"},
      {"a = 1\na$ = \"s\"\n", "t.kb:2:1: 'a' is an integer, not a string"},
      {"p.Nothing = Null\n", "t.kb:1:1: unknown type 'nothing'"},
      {"Type T\nField a\nEnd Type\nt.T = New T\nDebugLog t\\b\n", "t.kb:5:11: type 't' has no field 'b'"},
      {"Exit\n", "t.kb:1:1: Exit outside a loop"},
      {"DebugLog Mid(\"a\")\n", "t.kb:1:10: Mid needs a value for 'start'"},
      {"DebugLog Len(\"a\", 2)\n", "t.kb:1:10: too many values for Len"},
      {"Dim a(3)\na(1, 2) = 5\n", "t.kb:2:1: array 'a' has 1 dimension"},
      {"Const C = x\n", "t.kb:1:11: the value of a constant must be known when compiling"},
      {"x = 1 - \"a\"\n", "t.kb:1:7: strings can only be joined with +"},
      {"Frobnicate 1, 2\n", "t.kb:1:1: unknown command or function 'frobnicate'"},
      {"Function f()\nFunction g()\nEnd Function\n", "t.kb:2:1: 'function' cannot be inside a block"},
      {"Function f()\nGlobal h\nEnd Function\n", "t.kb:2:1: Global cannot be declared inside a function"},
      {"x = Cls()\n", "t.kb:1:1: this command returns no value"},
      {"Type T\nField a\nEnd Type\nt.T = New T\nx = t\n", "t.kb:5:1: declare 'x' as .t to hold an object"},
      {"Type A\nEnd Type\nType B\nEnd Type\na.A = New B\n", "t.kb:5:1: expected an object of type a but found an object of type b"},
      {"Const K = 1\nK = 2\n", "t.kb:2:1: cannot assign to constant 'k'"},
      {"x = $\n", "t.kb:1:5: expected a value but found '$'"},
      {"Dim a(3)\na = 1\n", "t.kb:2:1: 'a' is an array: give its indices"},
      {"x = 99999999999\n", "t.kb:1:5: integer too large: 99999999999"},
      {"Function f(n)\n.l\nEnd Function\nGoto l\n", "t.kb:4:1: no label 'l'"},
      {"Repeat\nx = 1\nUntil\n", "t.kb:3:6: expected a value but found 'end of line'"},
  };
  for (const Case& c : cases) {
    Compiled r = compile(c.source);
    EXPECT_FALSE(r.ok) << c.source;
    ASSERT_FALSE(r.errors.empty()) << c.source;
    EXPECT_EQ(r.errors[0].compare(0, std::strlen(c.error), c.error), 0) << c.source << "\n" << joined(r.errors);
  }
}

TEST(KrcCompile, AllErrorsOfARunUpToALimit) {
  Compiled three = compile("x = (\ny = 1\nz = )\nFor\nw = 2\n");
  ASSERT_EQ(three.errors.size(), 3u) << joined(three.errors);
  EXPECT_EQ(three.errors[0].compare(0, 9, "t.kb:1:6:"), 0) << three.errors[0];
  EXPECT_EQ(three.errors[1].compare(0, 9, "t.kb:3:5:"), 0) << three.errors[1];
  EXPECT_EQ(three.errors[2].compare(0, 9, "t.kb:4:4:"), 0) << three.errors[2];

  std::string many;
  for (int i = 0; i < 500; ++i) many += "x = (\n";
  Compiled capped = compile(many);
  ASSERT_EQ(capped.errors.size(), static_cast<std::size_t>(krc::Diagnostics::kMaxErrors) + 1);
  EXPECT_NE(capped.errors.back().find("too many errors"), std::string::npos);
}

// Arguments of the right kind for each parameter.
std::string argument(krc::Kind kind) {
  switch (kind) {
    case krc::Kind::Float: return "1.5";
    case krc::Kind::Str: return "\"a\"";
    default: return "1";
  }
}

TEST(KrcCompile, EveryCommandWithAndWithoutItsOptionalParameters) {
  runtimeTable();
  std::vector<std::string> names;
  Runtime* runtime = runtimeGetRuntime();
  while (const char* name = runtime->nextSym()) names.push_back(name);
  int checked = 0;
  for (const std::string& name : names) {
    krc::Command c;
    if (!krc::parseSignature(name, c)) continue;
    std::size_t required = 0;
    while (required < c.params.size() && !c.params[required].hasDefault) ++required;
    for (std::size_t count : {c.params.size(), required}) {
      std::string args;
      for (std::size_t i = 0; i < count; ++i) args += (i ? ", " : "") + argument(c.params[i].kind);
      std::string use = c.result == krc::Kind::None ? c.name + " " + args
                        : c.result == krc::Kind::Str ? "s$ = " + c.name + "(" + args + ")"
                        : c.result == krc::Kind::Float ? "f# = " + c.name + "(" + args + ")"
                                                         : "i = " + c.name + "(" + args + ")";
      // Both spellings of a call: as a statement and inside an expression.
      std::string program = "If False Then\n" + use + "\nEndIf\n";
      if (c.result != krc::Kind::None) program += "If False Then DebugLog " + c.name + "(" + args + ")\n";
      expectLinks(compile(program), program);
      ++checked;
    }
  }
  EXPECT_GT(checked, 200);  // two calls per command of the groups that have landed
}

TEST(KrcCompile, TracedProgramsLink) {
  const char* program =
      "Type T\nField a$, b.T, c[2]\nEnd Type\nDim grid#(2, 2)\nData 1, \"x\", 2.5\n"
      "Function f$(t.T, n = 3)\n  Local s$ = \"s\" + n\n  Gosub inner\n  Return s$\n.inner\n  s$ = s$ + t\\a\n"
      "  Return\nEnd Function\nt.T = New T\nt\\c[1] = 2\nFor o.T = Each T\n  DebugLog f(o)\nNext\n"
      "Select f(t)\nCase \"s3\" : Delete Each T\nDefault : Stop\nEnd Select\nRead x, y$, z#\nRestore\n";
  expectLinks(compile(program, false), "plain");
  expectLinks(compile(program, true), "traced");
}

// Random bytes, random token soup and mutations of a valid program: the
// compiler reports errors or compiles, and never crashes or hangs.
TEST(KrcCompile, FuzzedSourcesNeverCrash) {
  const std::vector<std::string> pieces = {
      "If", "Then", "Else", "EndIf", "For", "To", "Step", "Next", "Each", "While", "Wend", "Repeat", "Until",
      "Forever", "Select", "Case", "Default", "End", "Function", "Return", "Type", "Field", "Global", "Local",
      "Dim", "Data", "Read", "Restore", "Gosub", "Goto", "New", "Delete", "Insert", "Before", "After", "First",
      "Last", "Handle", "Object", "Not", "And", "Or", "Mod", "Shl", "x", "y#", "s$", "t.T", "T", "a(", ")",
      "(", ",", "=", "+", "-", "*", "/", "^", "\\", ".", ":", "\n", "1", "2.5", "\"s\"", "$F", "%1", "[",
      "]", "<>", "<=", "DebugLog", "Mid", "Exit", "Const", "Null", "True", "Pi", ";c\n", "Select True",
      "Include \"x\"", "Stop"};
  const std::string valid =
      "Type T\nField a, b$\nEnd Type\nGlobal g = 3\nDim arr(4)\nFunction f#(x, y# = 2)\n  Return x * y\n"
      "End Function\nFor i = 0 To 4 : arr(i) = f(i) : Next\nt.T = New T : t\\b = \"v\" + g\n"
      "For t.T = Each T\n  If t\\a = 0 Then DebugLog t\\b Else Delete t\nNext\nSelect g\nCase 1, 2 : g = 0\n"
      "Default : Gosub sub\nEnd Select\nEnd\n.sub\nRepeat : g = g - 1 : Until g <= 0\nReturn\n";
  ASSERT_TRUE(compile(valid).ok) << joined(compile(valid).errors);
  std::mt19937 rng(1234);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  int runs = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    std::string source;
    switch (runs % 3) {
      case 0:
        for (int n = rng() % 200; n > 0; --n) source += static_cast<char>(rng() % 128);
        break;
      case 1:
        for (int n = rng() % 120; n > 0; --n) source += pieces[rng() % pieces.size()] + (rng() % 3 ? " " : "");
        break;
      default:
        source = valid;
        for (int n = 1 + rng() % 6; n > 0; --n) {
          std::size_t at = rng() % source.size();
          if (rng() % 2)
            source.erase(at, 1 + rng() % 8);
          else
            source.insert(at, pieces[rng() % pieces.size()]);
          if (source.empty()) source = "x";
        }
    }
    compile(source, runs % 2 == 0);
    ++runs;
  }
  // Deep nesting ends in an error, not a stack overflow.
  EXPECT_FALSE(compile("x = " + std::string(100000, '(') + "1\n").ok);
  EXPECT_FALSE(compile("x = " + std::string(100000, '-') + "1\n").ok);
  std::string chain = "x = 1";
  for (int i = 0; i < 100000; ++i) chain += "+1";
  EXPECT_FALSE(compile(chain + "\n").ok);
  std::string ifs;
  for (int i = 0; i < 5000; ++i) ifs += "If 1\n";
  EXPECT_FALSE(compile(ifs).ok);
  EXPECT_GT(runs, 100);
}

}  // namespace

namespace {

TEST(KrcSignatures, ParsedFromTheRuntimesForm) {
  krc::Command c;
  ASSERT_TRUE(krc::parseSignature("$Mid$string%start%count=-1", c));
  EXPECT_EQ(c.name, "Mid");
  EXPECT_EQ(c.linkName, "_fmid");
  EXPECT_EQ(c.result, krc::Kind::Str);
  ASSERT_EQ(c.params.size(), 3u);
  EXPECT_EQ(c.params[0].kind, krc::Kind::Str);
  EXPECT_FALSE(c.params[1].hasDefault);
  EXPECT_TRUE(c.params[2].hasDefault);
  EXPECT_EQ(c.params[2].defaultValue, -1);

  ASSERT_TRUE(krc::parseSignature("Print$string=\"\"", c));
  EXPECT_EQ(c.result, krc::Kind::None);
  EXPECT_TRUE(c.params[0].hasDefault);
  ASSERT_TRUE(krc::parseSignature("#Rnd#from#to=0", c));
  EXPECT_EQ(c.params[1].kind, krc::Kind::Float);
  ASSERT_TRUE(krc::parseSignature("%MilliSecs", c));
  EXPECT_EQ(c.linkName, "_fmillisecs");
  EXPECT_TRUE(c.params.empty());
  ASSERT_TRUE(krc::parseSignature("%LoadAnimImage$bmpfile%cellwidth", c));
  EXPECT_EQ(c.linkName, "_floadanimimage");

  // Support symbols and malformed signatures are not commands.
  EXPECT_FALSE(krc::parseSignature("_krStrLoad", c));
  EXPECT_FALSE(krc::parseSignature("", c));
  EXPECT_FALSE(krc::parseSignature("%", c));
  EXPECT_FALSE(krc::parseSignature("Foo%a=1%b", c));    // no default after a default
  EXPECT_FALSE(krc::parseSignature("Foo$a=1", c));      // a string default is ""
  EXPECT_FALSE(krc::parseSignature("Foo%a=x", c));
  EXPECT_FALSE(krc::parseSignature("Foo@a", c));
}

TEST(KrcSignatures, LaterRegistrationOfANameWins) {
  krc::CommandTable t;
  t.addSignature("Beep%a");
  t.addSignature("%BEEP$b=\"\"");
  t.addSignature("_krBeep");
  ASSERT_NE(t.find("beep"), nullptr);
  EXPECT_EQ(t.find("beep")->result, krc::Kind::Int);
  EXPECT_EQ(t.find("beep")->params[0].kind, krc::Kind::Str);
  EXPECT_EQ(t.size(), 1u);
}

TEST(KrcLexer, NumbersSuffixesAndLabels) {
  krc::Diagnostics diag;
  auto tokens = krc::lexText("l.kb", "a$=$1F+%101-.5e1 ; c\n.top:x#=1.5 b%", diag);
  ASSERT_TRUE(diag.messages.empty()) << joined(diag.messages);
  std::vector<std::string> kinds;
  for (const krc::Token& t : tokens) {
    switch (t.kind) {
      case krc::Tok::Int: kinds.push_back("i" + std::to_string(t.ival)); break;
      case krc::Tok::Float: kinds.push_back("f" + std::to_string(t.fval)); break;
      case krc::Tok::Ident: kinds.push_back("n" + t.text); break;
      case krc::Tok::Newline: kinds.push_back("|"); break;
      case krc::Tok::End: kinds.push_back("$"); break;
      default: kinds.push_back(t.text);
    }
  }
  std::vector<std::string> expected = {"na", "$", "=", "i31", "+", "i5", "-", "f5.000000", "|", ".", "ntop",
                                       "|", "nx", "#", "=", "f1.500000", "nb", "%", "|", "$"};
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(tokens[3].pos.line, 1);
  EXPECT_EQ(tokens[3].pos.col, 4);
  EXPECT_EQ(tokens[10].pos.line, 2);
  EXPECT_EQ(tokens[10].pos.col, 2);
}

}  // namespace
