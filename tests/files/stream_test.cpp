// The file stream's buffering against a plain model of a file, and the driver's
// ownership of what it opened.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "files/file_stream.h"
#include "files/file_system.h"
#include "tests/support/module_runner.h"

using namespace kr;
using krtest::TempDir;

namespace {

// What a file opened for reading and writing must look like after each step.
struct ModelFile {
  std::string bytes;
  std::size_t pos = 0;
  bool failed = false;

  std::string read(std::size_t n) {
    if (failed) return std::string();
    std::size_t k = pos < bytes.size() ? std::min(n, bytes.size() - pos) : 0;
    std::string out = bytes.substr(pos, k);
    pos += k;
    if (k < n) failed = true;
    return out;
  }
  void write(const std::string& data) {
    if (failed) return;
    if (bytes.size() < pos) bytes.resize(pos, '\0');
    bytes.replace(pos, std::min(data.size(), bytes.size() - pos), data);
    pos += data.size();
  }
};

int openDescriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

}  // namespace

TEST(FileStream, MixedReadsWritesAndSeeksMatchAPlainFile) {
  TempDir dir;
  std::mt19937 random(7);
  ModelFile model;
  model.bytes.resize(150000);
  for (char& c : model.bytes) c = static_cast<char>(random());
  krtest::writeFile(dir.file("f.bin"), model.bytes);
  // Lengths straddle the read-ahead size, so buffered and direct paths mix.
  const std::size_t lengths[] = {1, 2, 3, 4, 17, 4095, 65535, 65536, 65537, 140000};
  for (int round = 0; round < 20; ++round) {
    FileSystem fs;
    FileStream* f = fs.openFile(dir.file("f.bin"), FileSystem::kRead | FileSystem::kWrite);
    ASSERT_TRUE(f);
    model.pos = 0;
    model.failed = false;
    for (int step = 0; step < 60; ++step) {
      std::size_t n = lengths[random() % 10];
      switch (random() % 5) {
        case 0: {  // stays within the file except, rarely, at the end of a round
          if (model.pos + n > model.bytes.size() && step < 59) break;
          std::string got(n, '\0');
          got.resize(f->read(&got[0], n));
          ASSERT_EQ(got, model.read(n)) << "round " << round << " step " << step;
          break;
        }
        case 1: {
          std::string data(n, '\0');
          for (char& c : data) c = static_cast<char>(random());
          f->write(data.data(), data.size());
          model.write(data);
          break;
        }
        case 2: {
          std::size_t to = random() % (model.bytes.size() + 10);
          EXPECT_EQ(f->seek(static_cast<std::int64_t>(to)), !model.failed);
          model.pos = to;
          break;
        }
        case 3:
          if (model.pos < model.bytes.size()) {
            ASSERT_EQ(f->readByte(), static_cast<std::uint8_t>(model.read(1)[0]));
          }
          break;
        case 4:
          f->writeByte(step);
          model.write(std::string(1, static_cast<char>(step)));
          break;
      }
      ASSERT_EQ(f->position(), static_cast<std::int64_t>(model.pos));
      ASSERT_EQ(f->failed(), model.failed);
    }
  }
  EXPECT_TRUE(krtest::readFile(dir.file("f.bin")) == model.bytes);
}

TEST(FileStream, ReadingByteByByteReadsAheadInBlocks) {
  TempDir dir;
  krtest::writeFile(dir.file("big.bin"), std::string(1 << 20, 'k'));
  FileSystem fs;
  FileStream* f = fs.openFile(dir.file("big.bin"), FileSystem::kRead);
  ASSERT_TRUE(f);
  long sum = 0;
  for (int i = 0; i < (1 << 20); ++i) sum += f->readByte();
  EXPECT_EQ(sum, long('k') << 20);
  EXPECT_TRUE(f->atEnd());
  EXPECT_LE(f->systemReads(), (1u << 20) / FileStream::kBufferSize + 2);
}

TEST(FileSystemDriver, ClosingTheDriverWritesAndClosesEverything) {
  TempDir dir;
  krtest::writeFile(dir.file("in.txt"), "x");
  int before = openDescriptors();
  {
    FileSystem fs;
    FileStream* out = fs.openFile(dir.file("out.txt"), FileSystem::kWrite | FileSystem::kTruncate);
    ASSERT_TRUE(out);
    out->write("pending", 7);
    ASSERT_TRUE(fs.openFile(dir.file("in.txt"), FileSystem::kRead));
    ASSERT_TRUE(fs.openDir(dir.path()));
    EXPECT_EQ(fs.openFileCount(), 2u);
    // A whole-file query sees what is still buffered.
    EXPECT_EQ(fs.fileSize(dir.file("out.txt")), 7u);
  }
  EXPECT_EQ(openDescriptors(), before);
  EXPECT_EQ(krtest::readFile(dir.file("out.txt")), "pending");
}

TEST(FileSystemDriver, HandlesAreOnlyRecognisedWhileOpen) {
  TempDir dir;
  krtest::writeFile(dir.file("a.txt"), "a");
  FileSystem fs;
  FileStream* f = fs.openFile(dir.file("a.txt"), FileSystem::kRead);
  int handle = toHandle(f);
  EXPECT_EQ(fs.findFile(handle), f);
  EXPECT_EQ(fs.findFile(handle + 1), nullptr);
  EXPECT_EQ(fs.findFile(0), nullptr);
  fs.closeFile(handle);
  EXPECT_EQ(fs.findFile(handle), nullptr) << "the last-used cache must forget a closed file";
  fs.closeFile(handle);
  DirScan* d = fs.openDir(dir.path());
  EXPECT_EQ(fs.findFile(toHandle(d)), nullptr);
  EXPECT_EQ(fs.findDir(toHandle(d)), d);
}
