// Test modules that use the file, directory and bank commands on real files in
// a temporary directory, run by krrun with and without --debug.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/module_runner.h"

using namespace krtest;
using Lines = std::vector<std::string>;

namespace {

RunResult runIn(const TempDir& dir, const std::string& module, bool debug = true) {
  RunOptions options;
  options.debug = debug;
  return runModuleIn(module, dir, options);
}

void makeDir(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }

std::string int32(int v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(static_cast<unsigned>(v) >> (8 * i));
  return s;
}

bool ended(const RunResult& r) { return r.errContains("debugInfo: Program has ended"); }

// The lines the module wrote to log.txt.
Lines logOf(const TempDir& dir) {
  std::string text = readFile(dir.file("log.txt"));
  Lines lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace

TEST(FileModules, EveryWriteCommandThenEveryReadCommand) {
  TempDir dir;
  RunResult r = runIn(dir, "files_numbers");
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(logOf(dir), (Lines{"written=38", "byte=44", "short=1", "int=-2", "float*4=6", "hello", "",
                             "line one", "pos=34", "ushort=65535", "seek=1", "int=-1", "eof=1",
                             "past=0", "seek0=0", "after=0", "pos0=0", "done"}));
  std::string expected = std::string("\x2c\x01\x00\xfe\xff\xff\xff\x00\x00\xc0\x3f", 11) + int32(5) +
                         "hello" + int32(0) + "line one\r\n" + int32(-1);
  EXPECT_EQ(readFile(dir.file("numbers.bin")), expected);
}

TEST(FileModules, ReadLineOverMixedLineEndsAndBufferBoundaries) {
  TempDir dir;
  writeFile(dir.file("mixed.txt"), std::string("a\r\nb\nc\rd\r\n\r\nzero\0byte\nlast", 26));
  // Lines around the read-ahead size, with a CR LF split across two reads.
  std::string longText = std::string(65535, 'x') + "\r\n" + std::string(70000, 'y') + "\r" +
                         std::string(3, 'z') + "\n\n" + std::string(65536, 'w');
  writeFile(dir.file("long.txt"), longText);
  RunResult r = runIn(dir, "files_lines");
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(logOf(dir), (Lines{"a", "b", "c", "d", "", std::string("zero\0byte", 9), "last", "", "lines=5"}));
  std::string copy = std::string(65535, 'x') + "\r\n" + std::string(70000, 'y') + "\r\n" +
                     std::string(3, 'z') + "\r\n\r\n" + std::string(65536, 'w') + "\r\n";
  EXPECT_TRUE(readFile(dir.file("copy.txt")) == copy);
}

TEST(FileModules, OpenModesAndTheStickyErrorState) {
  TempDir dir;
  writeFile(dir.file("old.txt"), "previous contents");
  writeFile(dir.file("keep.txt"), "abcdef");
  RunResult r = runIn(dir, "files_modes");
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(logOf(dir), (Lines{"truncated=0", "missing=0", "missing=0", "first=97", "third=99", "pos=7",
                             "readAfterBadWrite=0", "eof=1", "eofOnWriter=1", "seek=0"}));
  EXPECT_EQ(readFile(dir.file("old.txt")), "");
  EXPECT_EQ(readFile(dir.file("keep.txt")), "aXcdeZ!");
  EXPECT_EQ(readFile(dir.file("w.txt")), "a");
  struct stat st;
  EXPECT_NE(stat(dir.file("nothing.txt").c_str(), &st), 0);
}

TEST(FileModules, DirectoriesAndWholeFileOperations) {
  TempDir dir;
  makeDir(dir.file("tree"));
  makeDir(dir.file("tree/sub"));
  writeFile(dir.file("tree/a.txt"), "12345");
  writeFile(dir.file("tree/B.dat"), "");
  RunResult r = runIn(dir, "files_dirs");
  ASSERT_TRUE(ended(r)) << r.err;
  Lines listing = {"dir=1", ".", "..", "a.txt", "B.dat", "sub", "", ""};
  Lines expected = listing;
  expected.insert(expected.end(), listing.begin(), listing.end());
  Lines rest = {"missingDir=0", "fileAsDir=0", "typeDir=2", "typeFile=1", "typeNone=0", "sizeDir=0",
                "sizeEmpty=0", "sizeFile=5", "sizeWild=5", "sizeNone=0", "copied=5", "deleted=0",
                "made=2", "noParent=0", "unmade=0", "notEmpty=2", dir.path() + "/tree/sub", "inSub=1",
                "back=2"};
  expected.insert(expected.end(), rest.begin(), rest.end());
  // The temporary directory may be reached through a symbolic link.
  char real[4096];
  ASSERT_TRUE(realpath(dir.path().c_str(), real));
  expected[expected.size() - 3] = std::string(real) + "/tree/sub";
  EXPECT_EQ(logOf(dir), expected);
  EXPECT_EQ(readFile(dir.file("tree/B.dat")), "12345");
}

TEST(FileModules, PathsWithBackslashesAndTheWrongLetterCase) {
  TempDir dir;
  makeDir(dir.file("data"));
  makeDir(dir.file("data/levels"));
  writeFile(dir.file("data/levels/level1.dat"), "level one\r\n");
  RunResult r = runIn(dir, "files_paths");
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(logOf(dir), (Lines{"level one", "type=2", "size=11", ".", "..", "level1.dat", "changed=1"}));
  EXPECT_EQ(readFile(dir.file("data/levels/Save.DAT")), "saved\r\n");
  EXPECT_EQ(readFile(dir.file("data/levels/level1.dat")), "replaced\r\n");
  EXPECT_EQ(readFile(dir.file("data/COPY.dat")), "saved\r\n");
  struct stat st;
  EXPECT_NE(stat(dir.file("data/levels/LEVEL1.dat").c_str(), &st), 0) << "a second file was made";
}

TEST(FileModules, BanksAtEveryWidthWithAndWithoutDebug) {
  Lines expected = {"zeros=0",  "b0=255",         "b3=255",       "b4=0",  "s0=65535", "i0=-1",
                    "b2=1",     "b3=0",           "last8=171",    "last16=33332", "last32=305419896",
                    "b12=120",  "float*2=5",      "floatBits=1075838976", "b5=4", "b8=1", "s6=515",
                    "empty=1",  "done"};
  for (bool debug : {true, false}) {
    TempDir dir;
    RunResult r = runIn(dir, "files_banks", debug);
    EXPECT_EQ(logOf(dir), expected) << "debug " << debug << "\n" << r.err;
  }
}

TEST(FileModules, TransfersBetweenBanksAndFiles) {
  TempDir dir;
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  writeFile(dir.file("big.bin"), big);
  RunResult r = runIn(dir, "files_transfer");
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(logOf(dir), (Lines{"nothing=0", "got=252579084", "untouched=0", "eof=1", "short=252579084",
                             "rest=0", "eof=1", "bigEof=1"}));
  EXPECT_EQ(readFile(dir.file("part.bin")), "\x0c\x0d\x0e\x0f");
  EXPECT_TRUE(readFile(dir.file("big2.bin")) == "\x07" + big + "\x09");
}

struct BadHandleCase {
  int which;
  const char* debugError;
  std::string plainResult;
};

TEST(FileModules, BadHandlesAndOffsets) {
  const BadHandleCase cases[] = {
      {1, "Offset out of range", "result=0"},   {2, "Offset out of range", "result=0"},
      {3, "Offset out of range", "result=0"},   {4, "Bank does not exist", "result=0"},
      {5, "File does not exist", "result=0"},   {6, "Directory does not exist", "result=0"},
      {7, "Offset out of range", "result=7"},   {8, "Offset out of range", "result=0"},
      {9, "Bank does not exist", "result=0"},   {10, "Offset out of range", "result=0"},
      {11, "Bank does not exist", "result=1234"}, {12, "File does not exist", "result=0"},
      {13, "File does not exist", "result=1"},  {14, "Offset out of range", "result=0"},
  };
  for (const BadHandleCase& c : cases) {
    TempDir dir;
    writeFile(dir.file("case.bin"), int32(c.which));
    RunResult r = runIn(dir, "files_bad_handles", true);
    EXPECT_TRUE(r.errContains(std::string("debugError: ") + c.debugError)) << c.which << "\n" << r.err;
    EXPECT_TRUE(logOf(dir).empty()) << c.which << "\n" << r.err;
    r = runIn(dir, "files_bad_handles", false);
    EXPECT_EQ(r.exitCode, 0) << c.which;
    EXPECT_EQ(r.err.find("Error!"), std::string::npos) << c.which << "\n" << r.err;
    Lines logs = logOf(dir);
    ASSERT_FALSE(logs.empty()) << c.which << "\n" << r.err;
    EXPECT_EQ(logs.back(), c.plainResult) << c.which;
  }
}

TEST(FileModules, HostilePathsAndLengths) {
  TempDir dir;
  makeDir(dir.file("adir"));
  writeFile(dir.file("ok.txt"), "fine");
  writeFile(dir.file("names.bin"), int32(11) + std::string("ok.txt\0evil", 11) + int32(6) +
                                       std::string("adir\0x", 6));
  writeFile(dir.file("huge.bin"), int32(0x7fffffff) + "abc");
  writeFile(dir.file("negative.bin"), int32(-5) + "abcdefgh");
  for (bool debug : {true, false}) {
    RunResult r = runIn(dir, "files_bad_input", debug);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(logOf(dir), (Lines{"empty=0", "dirRead=0", "dirWrite=0", "dirOpen=0", "longRead=0",
                               "longWrite=0", "longType=0", "longDir=0", "nulRead=0", "nulType=0", "",
                               "hugePos=7", "hugeEof=1", "", "negEof=1", "copyDir=0", "ontoDir=2",
                               "ontoSelf=4", "deleteDir=2"}))
        << r.err;
  }
  EXPECT_EQ(readFile(dir.file("ok.txt")), "fine");
}

// Strings that do not fit in memory: with the run's address space limited, a
// line or counted string too big to hold is a runtime error, not an abort, and a
// huge string argument is used without being copied.
TEST(FileModules, StringsTooBigForMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer needs more address space than the limit allows";
#endif
  TempDir dir;
  const std::string huge = dir.file("huge.bin");
  writeFile(huge, int32(0x20000000));  // a counted string of 512 MiB, all of it there
  ASSERT_EQ(truncate(huge.c_str(), 600 << 20), 0);
  auto run = [&](int which, int size) {
    writeFile(dir.file("case.bin"), int32(which) + int32(size));
    RunOptions options;
    options.workDir = dir.path();
    std::string command = "ulimit -v 500000 && exec \"$0\" --debug \"$1\"";
    return runProgram({"/bin/sh", "-c", command, buildPath("krrun"), modulePath("files_huge_strings")}, options);
  };
  for (int which : {1, 2}) {
    RunResult r = run(which, 0);
    EXPECT_EQ(r.exitCode, 0) << which << "\n" << r.err;
    EXPECT_TRUE(r.errContains("debugError: Out of memory")) << which << "\n" << r.err;
  }
  const int size = 64 << 20;
  RunResult r = run(3, size);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(logOf(dir), (Lines{"type=0", "written=" + std::to_string(size + 2)})) << r.err;
}
