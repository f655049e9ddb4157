// A game that has used up the address space gets no sound, not a crash, at its
// first sound; the device opens again once the space is back.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mman.h>

#include <vector>

#include "audio/sound_engine.h"

using kr::audio::SoundEngine;

namespace {

struct Mapping {
  void* at;
  std::size_t size;
};

void* reserve(std::size_t size) {
  void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

// Takes every hole of 64 KB and more, then gives back a few 3 MB pieces far
// apart: room for small blocks and a thread's stack, none for a block of 8 MB.
class AddressSpaceUsedUp {
 public:
  AddressSpaceUsedUp() {
    taken_.reserve(16384);  // no allocation while the space is full
    for (std::size_t size = 1u << 30; size >= (64u << 10); size /= 2)
      while (void* p = reserve(size)) taken_.push_back({p, size});
    // Each piece given back splits its mapping in two: whatever is placed in
    // the hole meanwhile (a thread's stack, the allocator's blocks) stays.
    constexpr std::size_t kHead = 8u << 20, kPiece = 3u << 20;
    std::size_t count = taken_.size();
    for (std::size_t i = 0; i < count && given_ < 4; ++i) {
      const Mapping whole = taken_[i];
      if (whole.size < (32u << 20)) continue;
      char* at = static_cast<char*>(whole.at);
      munmap(at + kHead, kPiece);
      taken_[i].size = kHead;
      taken_.push_back({at + kHead + kPiece, whole.size - kHead - kPiece});
      ++given_;
    }
  }
  ~AddressSpaceUsedUp() {
    for (const Mapping& m : taken_) munmap(m.at, m.size);
  }
  bool full() const {
    void* p = reserve(8u << 20);
    if (p) munmap(p, 8u << 20);
    return given_ > 0 && !p;
  }

 private:
  std::vector<Mapping> taken_;
  int given_ = 0;
};

}  // namespace

TEST(AudioAddressSpace, NoRoomForTheMixerMeansNoDeviceNotACrash) {
  setenv("ALSOFT_DRIVERS", "null", 1);  // a device that is always there
  {
    AddressSpaceUsedUp full;
    ASSERT_TRUE(full.full());
    EXPECT_EQ(SoundEngine::open(), nullptr);
    EXPECT_EQ(SoundEngine::openLoopback(), nullptr);
  }
  SoundEngine* engine = SoundEngine::open();
  ASSERT_NE(engine, nullptr);
  delete engine;
}
