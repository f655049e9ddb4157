// Program paths: separators, letter case and wildcards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "files/file_paths.h"
#include "tests/support/module_runner.h"

using namespace kr;
using krtest::TempDir;

TEST(ProgramPaths, CaseIsResolvedComponentByComponent) {
  TempDir dir;
  std::string root = dir.path();
  ASSERT_EQ(mkdir((root + "/Data").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((root + "/Data/Levels").c_str(), 0755), 0);
  krtest::writeFile(root + "/Data/Levels/Level1.DAT", "1");
  krtest::writeFile(root + "/Data/AB", "");
  krtest::writeFile(root + "/Data/Ab", "");

  EXPECT_EQ(resolveCase(root + "/data/LEVELS/level1.dat"), root + "/Data/Levels/Level1.DAT");
  EXPECT_EQ(resolveCase(root + "/Data/Levels/Level1.DAT"), root + "/Data/Levels/Level1.DAT");
  EXPECT_EQ(resolveCase(root + "/DATA/levels/"), root + "/Data/Levels/");
  EXPECT_EQ(resolveCase(root + "//data/./levels/../LEVELS"), root + "/Data/./Levels/../Levels");
  EXPECT_EQ(resolveCase(root + "/data/ab"), root + "/Data/AB") << "several matches: the smallest";
  EXPECT_EQ(resolveCase(root + "/data/New/FILE.txt"), root + "/Data/New/FILE.txt");
  EXPECT_EQ(resolveCase(root + "/data/level1.dat/x"), root + "/Data/level1.dat/x");

  std::string out;
  ASSERT_TRUE(resolveProgramPath(root + "\\DATA\\Levels\\LEVEL1.dat", out));
  EXPECT_EQ(out, root + "/Data/Levels/Level1.DAT");
}

TEST(ProgramPaths, WildcardsIgnoreCase) {
  EXPECT_TRUE(matchesWildcard("*.TXT", "notes.txt"));
  EXPECT_TRUE(matchesWildcard("l?vel*.d*", "LEVEL12.dat"));
  EXPECT_TRUE(matchesWildcard("*.*", "README"));
  EXPECT_TRUE(matchesWildcard("*", ""));
  EXPECT_TRUE(matchesWildcard("a*b*c", "aXbYbZc"));
  EXPECT_FALSE(matchesWildcard("a*b*c", "aXbYbZ"));
  EXPECT_FALSE(matchesWildcard("?", ""));
  EXPECT_FALSE(matchesWildcard("*.txt", "notes.txt.bak"));
  // Many stars against a long name that almost matches: must not take forever.
  std::string stars;
  for (int i = 0; i < 2000; ++i) stars += "*a";
  EXPECT_FALSE(matchesWildcard(stars + "b", std::string(255, 'a')));
}
