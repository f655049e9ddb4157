// Faults while a game works: the disk fills up, files vanish under open
// handles, the window is closed while the program waits. Each must give the
// documented result and keep what the program was told had been written.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "tests/support/module_runner.h"

using namespace krtest;
using Lines = std::vector<std::string>;

namespace {

constexpr int kBlock = 4096;

// Confirmed blocks as the module logged them; -1 when it did not say.
int confirmedBlocks(const RunResult& r) {
  for (const std::string& line : r.logs())
    if (line.compare(0, 10, "confirmed=") == 0) return std::stoi(line.substr(10));
  return -1;
}

// What the module confirmed is on the disk, byte for byte.
void expectConfirmedBlocksOnDisk(const RunResult& r, const TempDir& dir) {
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
  EXPECT_FALSE(r.errContains("debugError")) << r.err;
  int confirmed = confirmedBlocks(r);
  EXPECT_GT(confirmed, 0) << r.err;
  EXPECT_LT(confirmed, 1000) << "the disk never filled";
  std::string data = readFile(dir.file("full/out.bin"));
  ASSERT_GE(data.size(), static_cast<std::size_t>(confirmed) * kBlock);
  for (int block = 0; block < confirmed; ++block)
    for (int i = 0; i < kBlock; i += 4) {
      std::uint32_t v;
      std::memcpy(&v, data.data() + block * kBlock + i, 4);
      ASSERT_EQ(v, static_cast<std::uint32_t>(block * 7919 + i)) << block << " " << i;
    }
  Lines logs = r.logs();
  EXPECT_NE(std::find(logs.begin(), logs.end(), "seek after refusal=0"), logs.end());
  EXPECT_NE(std::find(logs.begin(), logs.end(), "confirmed blocks intact"), logs.end());
  EXPECT_NE(std::find(logs.begin(), logs.end(), "other size ok=1"), logs.end());
}

}  // namespace

TEST(Faults, DiskFullKeepsEveryConfirmedBlock) {
  TempDir dir;
  std::string full = dir.file("full");
  mkdir(full.c_str(), 0755);
  if (mount("tmpfs", full.c_str(), "tmpfs", 0, "size=160k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (the file-size limit test covers the rest)";
  RunResult r = runModuleIn("rel_disk_full", dir);
  expectConfirmedBlocksOnDisk(r, dir);
  umount2(full.c_str(), MNT_DETACH);
}

TEST(Faults, FileSizeLimitActsLikeAFullDisk) {
  TempDir dir;
  mkdir(dir.file("full").c_str(), 0755);
  rlimit previous;
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit limited = previous;
  limited.rlim_cur = 150 * 1024 + 100;  // krrun inherits it; the test writes nothing meanwhile
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  RunResult r = runModuleIn("rel_disk_full", dir);
  setrlimit(RLIMIT_FSIZE, &previous);
  // Without the runtime's own handling the process would die of SIGXFSZ here.
  expectConfirmedBlocksOnDisk(r, dir);
  EXPECT_EQ(confirmedBlocks(r), 37);  // 150 KB + 100 bytes hold 37 whole 4 KB blocks
}

TEST(Faults, FilesAndDirectoriesVanishingUnderOpenHandles) {
  TempDir dir;
  RunResult r = runModuleIn("rel_vanish", dir);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_FALSE(r.errContains("debugError")) << r.err;
  EXPECT_EQ(r.logs(), (Lines{"first=0", "type after delete=0", "last=297", "eof=1",
                             "before shrink=0", "read past new end=0", "eof after shrink=1",
                             "string after shrink=0", "dir type=0", "listing ends=1", "done"}))
      << r.err;
}

class WindowClosed : public ::testing::TestWithParam<const char*> {};

TEST_P(WindowClosed, DuringABlockingCommandEndsQuietlyAndKeepsWrittenData) {
  TempDir dir;
  writeFile(dir.file("which.txt"), std::string(GetParam()) + "\n");
  RunOptions options;
  // Stop waits for Enter under the console debugger; the default one never resumes.
  options.debug = std::string(GetParam()) != "Stop";
  auto start = std::chrono::steady_clock::now();
  RunResult r = runModuleIn("rel_close", dir, options);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_LT(seconds, 6.0) << "the close request was not noticed in time";
  // A quiet end: no error, no end report, nothing after the wait.
  EXPECT_FALSE(r.errContains("Error")) << r.err;
  EXPECT_FALSE(r.errContains("Program has ended")) << r.err;
  std::string kept = readFile(dir.file("kept.txt"));
  std::string expected = "written before the close\r\n";
  if (std::string(GetParam()) == "ExecFile") expected += "after ExecFile\r\n";
  EXPECT_EQ(kept, expected);
}

INSTANTIATE_TEST_SUITE_P(LandedGroups, WindowClosed,
                         ::testing::Values("Delay", "WaitTimer", "Stop", "Flip", "VWait", "Statements",
                                           "ExecFile"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
