// The README's tour of writing a module, run as it stands: its file blocks
// ("```basic hello.kb") are written into an empty directory, its shell blocks
// run there in order with the built tools on PATH and the headers on CPATH (as
// an installed runtime has them), and a text block after a shell block lists
// lines its output must show, in order.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/module_runner.h"

using namespace krtest;

namespace {

struct Block {
  std::string info;  // what follows the opening fence
  std::string body;
};

// The fenced blocks of one "## " section of a Markdown text.
std::vector<Block> sectionBlocks(const std::string& markdown, const std::string& heading) {
  std::vector<Block> blocks;
  std::istringstream in(markdown);
  std::string line;
  bool inSection = false, inBlock = false;
  while (std::getline(in, line)) {
    if (!inBlock && line.compare(0, 3, "## ") == 0) {
      inSection = line == heading;
      continue;
    }
    if (!inSection) continue;
    if (line.compare(0, 3, "```") == 0) {
      if (!inBlock) blocks.push_back({line.substr(3), ""});
      inBlock = !inBlock;
    } else if (inBlock) {
      blocks.back().body += line + "\n";
    }
  }
  return blocks;
}

// True when every expected line appears in the output, in order.
bool showsInOrder(const std::string& output, const std::vector<std::string>& expected) {
  std::vector<std::string> got = splitLines(output);
  std::size_t at = 0;
  for (const std::string& want : expected) {
    while (at < got.size() && got[at] != want) ++at;
    if (at == got.size()) return false;
    ++at;
  }
  return true;
}

}  // namespace

TEST(ReadmeTour, EveryCommandWorksAsWritten) {
  std::vector<Block> blocks =
      sectionBlocks(readFile(KR_SOURCE_DIR "/README.md"), "## A tour: your first module");
  ASSERT_FALSE(blocks.empty()) << "the README has no tour section";
  TempDir dir;
  RunOptions options;
  options.workDir = dir.path();
  options.timeoutMs = 60000;
  const char* path = std::getenv("PATH");
  options.env = {std::string("PATH=" KR_BUILD_DIR ":") + (path ? path : "/usr/bin:/bin"),
                 "CPATH=" KR_SOURCE_DIR "/include"};

  int files = 0, commands = 0, checked = 0;
  RunResult last;
  bool ranLast = false;
  for (const Block& block : blocks) {
    std::vector<std::string> info;
    std::istringstream words(block.info);
    for (std::string w; words >> w;) info.push_back(w);
    if (info.size() == 2) {
      writeFile(dir.file(info[1]), block.body);
      ++files;
    } else if (info.size() == 1 && info[0] == "sh") {
      SCOPED_TRACE(block.body);
      last = runProgram({"/bin/bash", "-e", "-o", "pipefail", "-c", block.body}, options);
      ranLast = true;
      ++commands;
      ASSERT_EQ(last.exitCode, 0) << last.out << last.err;
      EXPECT_FALSE(last.errContains("debugError")) << last.err;
    } else if (info.size() == 1 && info[0] == "text") {
      ASSERT_TRUE(ranLast) << "a text block must follow a shell block:\n" << block.body;
      EXPECT_TRUE(showsInOrder(last.out + last.err, splitLines(block.body)))
          << "expected:\n" << block.body << "got:\n" << last.out << last.err;
      ranLast = false;
      ++checked;
    } else {
      ADD_FAILURE() << "a tour block the test cannot use: ```" << block.info;
    }
  }
  // A basic program, a C module, their commands and what they print.
  EXPECT_GE(files, 2);
  EXPECT_GE(commands, 3);
  EXPECT_GE(checked, 2);
}
