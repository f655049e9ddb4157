// The package's copyright file: a machine-readable Debian copyright file whose
// every Files pattern still names files of the tree and whose every licence is
// defined, so tools reading it (and people) get the terms right.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "tests/support/module_runner.h"

using namespace krtest;
namespace fs = std::filesystem;

namespace {

struct Field {
  std::string value;                      // the first line
  std::vector<std::string> continuation;  // the lines after it, without their leading space
};
using Paragraph = std::map<std::string, Field>;

// Paragraphs of "Name: value" fields with continuation lines; a malformed line
// is a test failure naming it.
std::vector<Paragraph> parseParagraphs(const std::string& text) {
  std::vector<Paragraph> paragraphs;
  std::istringstream in(text);
  std::string line;
  std::string last;
  bool open = false;
  while (std::getline(in, line)) {
    if (line.empty()) {
      open = false;
      continue;
    }
    if (!open) {
      paragraphs.emplace_back();
      open = true;
      last.clear();
    }
    Paragraph& p = paragraphs.back();
    if (line[0] == ' ' || line[0] == '\t') {
      EXPECT_FALSE(last.empty()) << "continuation without a field: " << line;
      if (!last.empty()) p[last].continuation.push_back(line.substr(1));
      continue;
    }
    std::size_t colon = line.find(':');
    EXPECT_NE(colon, std::string::npos) << "not a field: " << line;
    if (colon == std::string::npos) continue;
    last = line.substr(0, colon);
    EXPECT_EQ(p.count(last), 0u) << "field given twice: " << last;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    p[last].value = value;
  }
  return paragraphs;
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

// Every file of the source tree, relative to it, without build trees and git.
std::vector<std::string> sourceFiles() {
  std::vector<std::string> files;
  fs::path root(KR_SOURCE_DIR);
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    std::string name = it->path().filename().string();
    if (it->is_directory() && (name == ".git" || name.compare(0, 5, "build") == 0)) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file()) files.push_back(fs::relative(it->path(), root).string());
  }
  return files;
}

}  // namespace

TEST(Copyright, IsAValidMachineReadableCopyrightFileForTheTree) {
  std::string text = readFile(KR_SOURCE_DIR "/packaging/copyright");
  std::vector<Paragraph> paragraphs = parseParagraphs(text);
  ASSERT_GE(paragraphs.size(), 2u);

  const Paragraph& header = paragraphs[0];
  ASSERT_TRUE(header.count("Format"));
  EXPECT_EQ(header.at("Format").value, "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/");
  EXPECT_TRUE(header.count("Upstream-Name"));

  std::set<std::string> defined, used;
  std::vector<std::string> files = sourceFiles();
  bool coversEverything = false;
  for (std::size_t i = 1; i < paragraphs.size(); ++i) {
    const Paragraph& p = paragraphs[i];
    ASSERT_TRUE(p.count("License")) << "paragraph " << i << " has no License";
    std::string licence = p.at("License").value;
    EXPECT_FALSE(licence.empty()) << "paragraph " << i;
    if (!p.count("Files")) {
      // A stand-alone licence: its name and its text.
      EXPECT_FALSE(p.at("License").continuation.empty()) << licence << " has no text";
      EXPECT_TRUE(defined.insert(licence).second) << licence << " defined twice";
      for (const auto& field : p)
        EXPECT_TRUE(field.first == "License" || field.first == "Comment") << field.first;
      continue;
    }
    EXPECT_TRUE(p.count("Copyright")) << "Files: " << p.at("Files").value;
    if (p.at("License").continuation.empty()) used.insert(licence);
    std::vector<std::string> patterns = words(p.at("Files").value);
    for (const std::string& line : p.at("Files").continuation)
      for (const std::string& w : words(line)) patterns.push_back(w);
    for (const std::string& pattern : patterns) {
      if (pattern == "*") coversEverything = true;
      bool matched = false;
      for (const std::string& f : files)
        if (fnmatch(pattern.c_str(), f.c_str(), 0) == 0) matched = true;  // '*' crosses '/'
      EXPECT_TRUE(matched) << "Files pattern " << pattern << " names nothing in the tree";
    }
  }
  EXPECT_TRUE(coversEverything) << "no Files: * paragraph";
  for (const std::string& licence : used) EXPECT_TRUE(defined.count(licence)) << licence << " is never defined";
  for (const std::string& licence : defined) EXPECT_TRUE(used.count(licence)) << licence << " is defined but unused";
  // The first Files paragraph is the catch-all: later ones override it.
  ASSERT_TRUE(paragraphs[1].count("Files"));
  EXPECT_EQ(paragraphs[1].at("Files").value, "*");
}
