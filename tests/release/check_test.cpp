// krrun --check: the verdict and the reason, for every way a file can carry a
// module or fail to, and agreement with what a real run does.
#include <gtest/gtest.h>

#include <random>

#include "runtime/command_table.h"
#include "runtime/linker.h"
#include "runtime/module_check.h"
#include "runtime/runtime_api.h"
#include "tests/support/container_builder.h"
#include "tests/support/module_runner.h"

using namespace krtest;

namespace {

RunResult check(const std::string& path) {
  return runProgram({buildPath("krrun"), "--check", path});
}

RunResult checkBytes(const TempDir& dir, const std::string& bytes, const char* name = "m.krm") {
  writeFile(dir.file(name), bytes);
  return check(dir.file(name));
}

const std::map<std::string, std::uint32_t>& runtimeTable() {
  static const std::map<std::string, std::uint32_t> table = kr::buildRuntimeTable(*runtimeGetRuntime());
  return table;
}

bool links(const std::string& bytes) {
  kr::LinkResult linked = kr::linkModule(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                         runtimeTable());
  bool ok = linked.status == kr::LinkResult::kLinked;
  kr::releaseLinkedModule(linked);
  return ok;
}

bool checks(const std::string& bytes) {
  return kr::checkContainer(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), runtimeTable())
      .runnable;
}

}  // namespace

TEST(Check, RunnableFilesOfEveryKindSayWhatTheyAre) {
  TempDir dir;
  RunResult r = check(modulePath("core_hello"));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find(": runnable module container ("), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("bytes of code"), std::string::npos) << r.out;

  r = check(std::string(KR_SOURCE_DIR) + "/tests/corpus/good/hello_pe.exe");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("runnable Windows executable (resource RT_RCDATA 1111: "), std::string::npos) << r.out;

  ASSERT_EQ(runProgram({buildPath("krpack"), modulePath("core_hello"), "-o", dir.file("game")}).exitCode, 0);
  r = check(dir.file("game"));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("runnable stand-alone game"), std::string::npos) << r.out;
  // Checking runs nothing: no report of the module's program.
  EXPECT_EQ(r.err, "");
}

TEST(Check, StandAloneGameNamedAsFileRunsItsModule) {
  TempDir dir;
  ASSERT_EQ(runProgram({buildPath("krpack"), modulePath("core_hello"), "-o", dir.file("game")}).exitCode, 0);
  RunResult direct = runProgram({dir.file("game"), "--debug"});
  RunResult named = runModule(dir.file("game"));
  EXPECT_EQ(named.exitCode, 0);
  EXPECT_EQ(named.logs(), direct.logs());
  EXPECT_FALSE(named.logs().empty());
}

TEST(Check, EachFaultOfAContainerIsNamed) {
  TempDir dir;
  ContainerBuilder hello = helloContainer();
  const std::string good = hello.bytes();
  struct Case {
    std::string bytes;
    const char* reason;
  };
  ContainerBuilder outside = hello;
  outside.symbols.push_back({"late", static_cast<std::uint32_t>(hello.code.size())});
  ContainerBuilder badFixup = hello;
  badFixup.relative.push_back({"text", static_cast<std::uint32_t>(hello.code.size() - 3)});
  ContainerBuilder unknown = hello;
  unknown.relative.push_back({"_fnosuchcommand", 1});
  const Case cases[] = {
      {"", "0 bytes long, too short"},
      {good.substr(0, 10), "code size field says 23 bytes, but only 6 follow"},
      {good.substr(0, 4 + 23), "ends where the symbol count should be"},
      {good.substr(0, 4 + 23 + 4 + 3), "ends inside symbol 1 of 2"},
      {outside.bytes(), "symbol 'late' at offset 23 lies outside the 23 bytes of code"},
      {badFixup.bytes(), "relative fixup of 'text' at offset 20 does not fit"},
      {unknown.bytes(), "'_fnosuchcommand', which neither the module nor the runtime defines"},
  };
  for (const Case& c : cases) {
    RunResult r = checkBytes(dir, c.bytes);
    EXPECT_EQ(r.exitCode, 1) << c.reason;
    EXPECT_NE(r.out.find(": not runnable: module container: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(c.reason), std::string::npos) << r.out;
  }
}

TEST(Check, FilesThatAreNoModuleAtAll) {
  TempDir dir;
  RunResult r = check(dir.file("missing.krm"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("not runnable: file: it cannot be read (No such file or directory)"), std::string::npos)
      << r.out;

  r = check(modulePath("core_hello").substr(0, modulePath("core_hello").size() - 4) + ".o");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("not runnable: ELF file: "), std::string::npos) << r.out;

  // A Windows executable whose resource has another id.
  std::string pe = readFile(std::string(KR_SOURCE_DIR) + "/tests/corpus/good/hello_pe.exe");
  std::string id("\x57\x04\x00\x00", 4);  // 1111
  std::size_t at = pe.find(id);
  ASSERT_NE(at, std::string::npos);
  pe[at] = 0x58;
  r = checkBytes(dir, pe, "game.exe");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("not runnable: Windows executable: it has no RT_RCDATA 1111 resource"),
            std::string::npos)
      << r.out;

  // A stand-alone game whose trailer claims more than the file holds.
  ASSERT_EQ(runProgram({buildPath("krpack"), modulePath("core_hello"), "-o", dir.file("game")}).exitCode, 0);
  std::string game = readFile(dir.file("game"));
  game[game.size() - 12 + 3] = 0x7F;
  r = checkBytes(dir, game, "broken");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("not runnable: stand-alone game: "), std::string::npos) << r.out;
}

TEST(Check, UsageErrorsHaveTheirOwnExitCode) {
  EXPECT_EQ(runProgram({buildPath("krrun"), "--check"}).exitCode, 2);
  EXPECT_EQ(runProgram({buildPath("krrun"), "--check", "a", "b"}).exitCode, 2);
  RunResult help = runProgram({buildPath("krrun"), "--help"});
  EXPECT_NE(help.out.find("--check"), std::string::npos);
}

// The verdict must be the linker's: a file --check passes always links, and
// one it refuses never does, however it is cut or damaged.
TEST(Check, VerdictAgreesWithTheLinkerOnEveryPrefixAndRandomDamage) {
  std::vector<std::string> seeds = {helloContainer().bytes(), readFile(modulePath("core_hello")),
                                    readFile(modulePath("core_system"))};
  std::mt19937 random(7);
  int runnable = 0, refused = 0;
  for (const std::string& seed : seeds) {
    ASSERT_FALSE(seed.empty());
    for (std::size_t n = 0; n <= seed.size(); n += seed.size() > 400 ? 7 : 1) {
      std::string prefix = seed.substr(0, n);
      ASSERT_EQ(checks(prefix), links(prefix)) << n;
    }
    for (int i = 0; i < 300; ++i) {
      std::string damaged = seed;
      for (int k = 0; k < 3; ++k) damaged[random() % damaged.size()] = static_cast<char>(random());
      bool verdict = checks(damaged);
      ASSERT_EQ(verdict, links(damaged)) << i;
      (verdict ? runnable : refused)++;
    }
  }
  EXPECT_GT(runnable, 0);
  EXPECT_GT(refused, 0);
}
