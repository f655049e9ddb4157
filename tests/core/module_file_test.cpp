// Every way a module reaches krrun, and every way a module file can be wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/container_builder.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using Lines = std::vector<std::string>;

namespace {

const char kUnable[] = "Unable to run Korrin Basic module\n";

RunResult runBytes(const std::string& bytes, const TempDir& dir, const char* name = "m.krm") {
  writeFile(dir.file(name), bytes);
  return runModule(dir.file(name));
}

bool haveMingw() { return std::system("command -v i686-w64-mingw32-ld >/dev/null 2>&1") == 0; }

// A Windows executable carrying the module as resource RT_RCDATA 1111, made with
// the mingw-w64 binutils.
std::string buildPeExecutable(const TempDir& dir, const std::string& module) {
  std::string cmd = "cd '" + dir.path() +
                    "' && printf '1111 RCDATA \"module.krm\"\\n' > res.rc"
                    " && cp '" + module + "' module.krm"
                    " && i686-w64-mingw32-windres --preprocessor=cpp res.rc -O coff -o res.o"
                    " && printf '.globl _start\\n_start: ret\\n' > start.s"
                    " && i686-w64-mingw32-as start.s -o start.o"
                    " && i686-w64-mingw32-ld -s start.o res.o -o game.exe -e _start";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  return dir.file("game.exe");
}

}  // namespace

TEST(ModuleSources, HandMadeContainerPatchesRelativeAndAbsoluteFixups) {
  TempDir dir;
  RunResult r = runBytes(helloContainer().bytes(), dir);
  EXPECT_EQ(r.logs(), Lines{"hi"});
  EXPECT_TRUE(r.errContains("Program has ended"));
}

TEST(ModuleSources, RelativeFieldPointingJustPastItselfBecomesZero) {
  ContainerBuilder m;
  m.code = {0xE8, 0xFC, 0xFF, 0xFF, 0xFF, 0xC3};  // call next; next: ret
  m.symbols = {{"next", 5}};
  m.relative = {{"next", 1}};
  TempDir dir;
  RunResult r = runBytes(m.bytes(), dir);
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
}

TEST(ModuleSources, SymbolMustLieInsideTheCode) {
  TempDir dir;
  ContainerBuilder m = helloContainer();
  m.symbols.push_back({"last", static_cast<std::uint32_t>(m.code.size() - 1)});
  EXPECT_EQ(runBytes(m.bytes(), dir).logs(), Lines{"hi"});
  m.symbols.back().second = static_cast<std::uint32_t>(m.code.size());
  RunResult r = runBytes(m.bytes(), dir);
  EXPECT_EQ(r.exitCode, 255);
  EXPECT_EQ(r.err, kUnable);
}

TEST(ModuleSources, FixupFieldMustLieWhollyInsideTheCode) {
  TempDir dir;
  ContainerBuilder m = helloContainer();
  const auto size = static_cast<std::uint32_t>(m.code.size());
  for (std::uint32_t offset : {size - 3, size, 0xFFFFFFFEu}) {
    ContainerBuilder bad = m;
    bad.absolute.push_back({"text", offset});
    RunResult r = runBytes(bad.bytes(), dir);
    EXPECT_EQ(r.exitCode, 255) << offset;
    EXPECT_EQ(r.err, kUnable);
  }
  ContainerBuilder edge = m;
  edge.code.insert(edge.code.end(), {0, 0, 0, 0});
  edge.absolute.push_back({"text", static_cast<std::uint32_t>(edge.code.size() - 4)});
  EXPECT_EQ(runBytes(edge.bytes(), dir).logs(), Lines{"hi"});
}

TEST(ModuleSources, EveryTruncationIsRejectedWithoutACrash) {
  TempDir dir;
  std::string whole = helloContainer().bytes();
  for (std::size_t n = 0; n < whole.size(); ++n) {
    RunResult r = runBytes(whole.substr(0, n), dir);
    EXPECT_EQ(r.exitCode, 255) << "length " << n;
    EXPECT_EQ(r.err, kUnable) << "length " << n;
  }
}

TEST(ModuleSources, CountsNegativeHugeAndUnterminatedNames) {
  TempDir dir;
  ContainerBuilder m;
  m.code = {0xC3};
  std::string base = m.bytes();  // code, then three zero counts
  std::string negative = base.substr(0, 5);
  for (int i = 0; i < 3; ++i) ContainerBuilder::put32(negative, 0x80000000u);
  EXPECT_TRUE(runBytes(negative, dir).errContains("Program has ended"));

  std::string huge = base.substr(0, 5);
  ContainerBuilder::put32(huge, 0x7FFFFFFFu);
  huge += "x";
  EXPECT_EQ(runBytes(huge, dir).exitCode, 255);

  std::string unterminated = base.substr(0, 5);
  ContainerBuilder::put32(unterminated, 1);
  unterminated += "__MAIN";
  EXPECT_EQ(runBytes(unterminated, dir).exitCode, 255);

  std::string hugeCode;
  ContainerBuilder::put32(hugeCode, 0xFFFFFFF0u);
  hugeCode += std::string(16, '\xC3');
  EXPECT_EQ(runBytes(hugeCode, dir).exitCode, 255);
}

TEST(ModuleSources, MissingUnreadableAndDirectoryFiles) {
  TempDir dir;
  RunResult missing = runModule(dir.file("nothing-here.krm"));
  EXPECT_EQ(missing.exitCode, 255);
  EXPECT_EQ(missing.err, kUnable);
  RunResult directory = runModule(dir.path() + "/");
  EXPECT_EQ(directory.exitCode, 255);
  RunResult none = runProgram({buildPath("krrun")});
  EXPECT_EQ(none.exitCode, 255);
  EXPECT_EQ(none.err, kUnable);
}

TEST(ModuleSources, CommandLineArguments) {
  RunResult help = runProgram({buildPath("krrun"), "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("Usage: krrun [--debug] FILE"), std::string::npos);
  EXPECT_NE(help.out.find("--debug"), std::string::npos);
  RunResult unknown = runProgram({buildPath("krrun"), "--fast", modulePath("core_hello")});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("unknown option '--fast'"), std::string::npos);
  RunResult two = runProgram({buildPath("krrun"), modulePath("core_hello"), modulePath("core_hello")});
  EXPECT_EQ(two.exitCode, 2);
}

TEST(ModuleSources, SameModuleFromContainerPeExecutableAndPackedGame) {
  const Lines expected{"hello 42"};
  EXPECT_EQ(runModule("core_hello").logs(), expected);

  TempDir dir;
  std::string packed = dir.file("game");
  ASSERT_EQ(runProgram({buildPath("krpack"), modulePath("core_hello"), "-o", packed}).exitCode, 0);
  RunResult standalone = runProgram({packed, "--debug"});
  EXPECT_EQ(standalone.logs(), expected) << standalone.err;
  // A packed game runs its own module whatever file is named.
  EXPECT_EQ(runProgram({packed, "--debug", modulePath("core_end_nested")}).logs(), expected);

  // A trailer whose length runs past the start of the file is no packed module.
  std::string bogus = readFile(buildPath("krrun")) + "\xff\xff\xff\x7fKRMODULE";
  writeFile(dir.file("bogus"), bogus);
  ASSERT_EQ(chmod(dir.file("bogus").c_str(), 0755), 0);
  EXPECT_EQ(runProgram({dir.file("bogus"), "--debug", modulePath("core_hello")}).logs(), expected);

  if (!haveMingw()) GTEST_SKIP() << "mingw-w64 binutils not installed";
  std::string exe = buildPeExecutable(dir, modulePath("core_hello"));
  EXPECT_EQ(runModule(exe).logs(), expected);
  std::string packedFromPe = dir.file("game2");
  ASSERT_EQ(runProgram({buildPath("krpack"), exe, "-o", packedFromPe}).exitCode, 0);
  EXPECT_EQ(runProgram({packedFromPe, "--debug"}).logs(), expected);

  // Damaged executables are rejected, never crash.
  std::string image = readFile(exe);
  for (std::size_t n = 64; n < image.size(); n += 97) {
    RunResult r = runBytes(image.substr(0, n), dir, "cut.exe");
    EXPECT_EQ(r.exitCode, 255) << "length " << n;
  }
}
