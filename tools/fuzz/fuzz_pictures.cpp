// libFuzzer target for the picture decoders (BMP reader, libpng and
// libjpeg-turbo paths). Build and run with tools/fuzz/run-pictures.sh.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "images/picture_decoders.h"

namespace {

// Keeps what a canvas would keep, within a small budget so runs stay quick.
class Target : public kr::PictureTarget {
 public:
  bool begin(int width, int height) noexcept override {
    if (width < 1 || height < 1 || static_cast<std::uint64_t>(width) * height > (1u << 22)) return false;
    width_ = width;
    pixels_.assign(static_cast<std::size_t>(width) * height, 0);
    return true;
  }
  std::uint32_t* row(int y) noexcept override { return pixels_.data() + static_cast<std::size_t>(y) * width_; }

 private:
  int width_ = 0;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The last byte picks the name the file goes by, for the fallback on extensions.
  static const char* const kNames[] = {"a.bmp", "a.png", "a.jpg", "a"};
  const char* name = size ? kNames[data[size - 1] & 3] : "a";
  Target target;
  kr::decodePicture(data, size, name, target);
  return 0;
}
