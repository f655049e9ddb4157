// The module readers on damaged input: the kept corpus, then a mutation loop
// over good files. Nothing may crash or read outside the file (the sanitizer
// build makes that visible).
#include <dirent.h>
#include <gtest/gtest.h>

#include <random>

#include "runtime/linker.h"
#include "runtime/module_source.h"
#include "tests/support/container_builder.h"
#include "tests/support/module_runner.h"

namespace {

const std::map<std::string, std::uint32_t> kTable = {{"_fdebuglog", 0x1000}, {"__krStrConst", 0x2000}};

// What krrun does with a file, short of running it.
kr::LinkResult::Status readAndLink(const std::string& file) {
  std::vector<std::uint8_t> bytes(file.begin(), file.end());
  std::size_t offset, size;
  kr::moduleInFile(bytes, offset, size);
  // Exactly the bytes of the module: any read past them is outside the buffer.
  std::vector<std::uint8_t> module(bytes.begin() + static_cast<long>(offset),
                                   bytes.begin() + static_cast<long>(offset + size));
  kr::LinkResult linked = kr::linkModule(module.data(), module.size(), kTable);
  kr::LinkResult::Status status = linked.status;
  kr::releaseLinkedModule(linked);
  return status;
}

// The paths of tests/corpus/<kind>: "good" files are modules that must link
// and run; "crashers" once broke a reader and must now be refused or linked
// without harm.
std::vector<std::string> corpusPaths(const std::string& kind) {
  std::vector<std::string> paths;
  std::string dir = std::string(KR_SOURCE_DIR) + "/tests/corpus/" + kind;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') paths.push_back(dir + "/" + e->d_name);
    closedir(d);
  }
  return paths;
}

std::vector<std::string> corpus(const std::string& kind) {
  std::vector<std::string> files;
  for (const std::string& path : corpusPaths(kind)) files.push_back(krtest::readFile(path));
  return files;
}

}  // namespace

TEST(ModuleReaders, GoodFilesOfTheCorpusLinkAndRun) {
  std::vector<std::string> paths = corpusPaths("good");
  ASSERT_GE(paths.size(), 2u);
  for (const std::string& path : paths) {
    EXPECT_EQ(readAndLink(krtest::readFile(path)), kr::LinkResult::kLinked) << path;
    krtest::RunResult r = krtest::runModule(path);
    EXPECT_EQ(r.exitCode, 0) << path;
    EXPECT_TRUE(r.errContains("debugInfo: Program has ended")) << path << "\n" << r.err;
  }
  EXPECT_EQ(readAndLink(krtest::helloContainer().bytes()), kr::LinkResult::kLinked);
}

TEST(ModuleReaders, KeptCrashersAreRefused) {
  std::vector<std::string> files = corpus("crashers");
  ASSERT_GE(files.size(), 1u);
  for (const std::string& f : files) EXPECT_EQ(readAndLink(f), kr::LinkResult::kMalformed);
}

TEST(ModuleReaders, SurviveRandomDamage) {
  std::vector<std::string> seeds = corpus("good");
  for (const std::string& f : corpus("crashers")) seeds.push_back(f);
  seeds.push_back(krtest::helloContainer().bytes());
  std::mt19937 random(12345);
  int linked = 0, rejected = 0;
  for (int round = 0; round < 40000; ++round) {
    std::string f = seeds[round % seeds.size()];
    int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !f.empty(); ++e) {
      std::size_t at = random() % f.size();
      switch (random() % 5) {
        case 0: f[at] = static_cast<char>(random()); break;
        case 1: f.resize(at); break;
        case 2: f.insert(at, 1, static_cast<char>(random())); break;
        case 3: f[at] = static_cast<char>(0xFF); break;
        default: f.erase(at, 1 + random() % 8); break;
      }
    }
    (readAndLink(f) == kr::LinkResult::kLinked ? linked : rejected)++;
  }
  EXPECT_GT(rejected, 0);
  EXPECT_GT(linked, 0);
}
