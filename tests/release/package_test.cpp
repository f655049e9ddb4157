// The installed runtime: cmake --install into a prefix, and the Debian package
// built by CPack, listed, inspected and unpacked into a temporary root (never
// installed on the machine), then used from there.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>

#include "tests/support/module_runner.h"

using namespace krtest;

namespace {

// Standard output of a shell command, and whether it succeeded.
bool shell(const std::string& command, std::string* output = nullptr) {
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return false;
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  int status = pclose(pipe);
  if (output) *output = text;
  return status == 0;
}

bool isExecutable(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR);
}

// The headers a module writer gets: korrin.h, korrin_runtime.h and korrin/*.h.
std::vector<std::string> sourceHeaders() {
  std::string list;
  shell("cd '" KR_SOURCE_DIR "/include' && ls korrin.h korrin_runtime.h korrin/*.h", &list);
  return splitLines(list);
}

// Runs the tools of an installed tree: a module through its krrun, its check,
// and a stand-alone game made by its krpack in a directory of its own.
void useInstalledTree(const std::string& bin) {
  ASSERT_TRUE(isExecutable(bin + "/krrun"));
  RunResult run = runProgram({bin + "/krrun", "--debug", modulePath("core_hello")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(run.logs().empty()) << run.err;
  EXPECT_TRUE(run.errContains("debugInfo: Program has ended")) << run.err;

  EXPECT_EQ(runProgram({bin + "/krrun", "--check", modulePath("core_hello")}).exitCode, 0);

  TempDir games;
  ASSERT_EQ(runProgram({bin + "/krpack", modulePath("core_hello"), "-o", games.file("game")}).exitCode, 0);
  RunResult game = runProgram({games.file("game"), "--debug"});
  EXPECT_EQ(game.logs(), run.logs()) << game.err;
  // Music needs the decoder process beside the game, as the runtime library is.
  EXPECT_TRUE(isExecutable(games.file("krdecode")));
}

}  // namespace

TEST(Install, CmakeInstallGivesAWorkingRelocatableTree) {
  TempDir root;
  std::string log;
  ASSERT_TRUE(shell("cmake --install '" KR_BUILD_DIR "' --prefix '" + root.path() + "'", &log)) << log;
  useInstalledTree(root.file("bin"));
  for (const std::string& header : sourceHeaders())
    EXPECT_TRUE(std::ifstream(root.file("include/" + header)).good()) << header;
}

namespace {

void expectControlFields(const std::string& deb) {
  std::string info;
  ASSERT_TRUE(shell("dpkg-deb -f '" + deb + "'", &info)) << info;
  EXPECT_NE(info.find("Package: korrin-runtime\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Architecture: i386\n"), std::string::npos) << info;
  std::string depends;
  ASSERT_TRUE(shell("dpkg-deb -f '" + deb + "' Depends", &depends));
  // The libraries krrun and libkrruntime.so load, as i386 packages, and what
  // no linker sees: FluidSynth (opened at run time), a General MIDI SoundFont
  // and the fonts behind the games' face names.
  for (const char* library : {"libc6", "libsdl2-2.0-0", "libstdc++6", "libfluidsynth3", "timgm6mb-soundfont",
                              "fonts-liberation"})
    EXPECT_NE(depends.find(library), std::string::npos) << depends;
  EXPECT_EQ(depends.find(":amd64"), std::string::npos) << depends;
  EXPECT_NE(deb.find("_i386.deb"), std::string::npos) << deb;
  std::string whole;
  ASSERT_TRUE(shell("dpkg-deb -I '" + deb + "'", &whole));
  EXPECT_NE(whole.find("Description: runtime for compiled Korrin Basic games"), std::string::npos) << whole;
}

void expectContents(const std::string& deb) {
  std::string listing;
  ASSERT_TRUE(shell("dpkg-deb -c '" + deb + "' | awk '{print $6}'", &listing));
  std::set<std::string> files;
  for (const std::string& line : splitLines(listing)) files.insert(line);
  std::vector<std::string> tools;
  for (const std::string& f : files)
    if (f.compare(0, 10, "./usr/bin/") == 0 && f.size() > 10) tools.push_back(f.substr(10));
  for (const char* tool : {"krrun", "krpack", "krconvert"})
    EXPECT_NE(std::find(tools.begin(), tools.end(), tool), tools.end()) << tool;
  // Every installed tool has its man page.
  for (const std::string& tool : tools)
    EXPECT_TRUE(files.count("./usr/share/man/man1/" + tool + ".1.gz")) << tool;
  EXPECT_TRUE(files.count("./usr/lib/i386-linux-gnu/libkrruntime.so"));
  EXPECT_TRUE(files.count("./usr/lib/i386-linux-gnu/krdecode"));
  for (const std::string& header : sourceHeaders())
    EXPECT_TRUE(files.count("./usr/include/" + header)) << header;
  EXPECT_TRUE(files.count("./usr/share/applications/korrin-runtime.desktop"));
  EXPECT_TRUE(files.count("./usr/share/mime/packages/korrin-module.xml"));
  EXPECT_TRUE(files.count("./usr/share/doc/korrin-runtime/copyright"));
  // Nothing of the build or the tests.
  for (const std::string& f : files) {
    EXPECT_EQ(f.find("gtest"), std::string::npos) << f;
    EXPECT_EQ(f.find("_tests"), std::string::npos) << f;
    EXPECT_EQ(f.find(".krm"), std::string::npos) << f;
  }
}

void expectDesktopIntegration(const TempDir& root) {
  std::string warnings;
  ASSERT_TRUE(shell("cd '" + root.path() + "/usr/share/man/man1' && ls *.1.gz", &warnings));
  for (const std::string& page : splitLines(warnings)) {
    std::string out;
    EXPECT_TRUE(shell("zcat '" + root.path() + "/usr/share/man/man1/" + page + "' | groff -man -Tutf8 -ww -z",
                      &out));
    EXPECT_EQ(out, "") << page;
    std::string roff;
    shell("zcat '" + root.path() + "/usr/share/man/man1/" + page + "'", &roff);
    for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS"})
      EXPECT_NE(roff.find(std::string("\n.SH ") + section + "\n"), std::string::npos)
          << page << " lacks " << section;
  }

  std::string desktop = readFile(root.file("usr/share/applications/korrin-runtime.desktop"));
  EXPECT_EQ(desktop.compare(0, 15, "[Desktop Entry]"), 0);
  EXPECT_NE(desktop.find("\nExec=krrun %f\n"), std::string::npos);
  EXPECT_NE(desktop.find("MimeType=application/x-korrin-module;"), std::string::npos);
  EXPECT_NE(desktop.find("\nType=Application\n"), std::string::npos);

  // The MIME database built from the package's definition maps *.krm to it.
  std::string mime = root.file("usr/share/mime");
  std::string out;
  ASSERT_TRUE(shell("update-mime-database '" + mime + "'", &out)) << out;
  std::string globs = readFile(mime + "/globs2");
  EXPECT_NE(globs.find("application/x-korrin-module:*.krm"), std::string::npos) << globs;
}

}  // namespace

// Building the package takes a while, and ctest runs every case in a process
// of its own: one case builds it and checks it from every side.
TEST(Package, BuiltByCpackItDeclaresListsUnpacksAndRuns) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the package carries the release build; sanitizer builds link libasan";
#endif
  TempDir work;
  std::string log, deb;
  ASSERT_TRUE(shell("cd '" KR_BUILD_DIR "' && cpack -G DEB -B '" + work.path() + "'", &log)) << log;
  shell("ls '" + work.path() + "'/*.deb", &deb);
  if (!deb.empty() && deb.back() == '\n') deb.pop_back();
  ASSERT_FALSE(deb.empty());
  {
    SCOPED_TRACE("control fields");
    expectControlFields(deb);
  }
  {
    SCOPED_TRACE("contents");
    expectContents(deb);
  }
  TempDir root;
  ASSERT_TRUE(shell("dpkg -x '" + deb + "' '" + root.path() + "'", &log)) << log;
  {
    SCOPED_TRACE("unpacked tree");
    useInstalledTree(root.file("usr/bin"));
  }
  {
    SCOPED_TRACE("man pages, desktop entry, MIME type");
    expectDesktopIntegration(root);
  }
}
