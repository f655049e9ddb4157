#include "images/picture_loading.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "files/file_paths.h"
#include "graphics/graphics_device.h"
#include "images/picture_decoders.h"

namespace kr {

namespace {

// Larger files cannot hold a picture a canvas could take.
constexpr long long kMaxFileBytes = 256ll << 20;

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_size < 1 || info.st_size > kMaxFileBytes) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bool ok = true;
  try {
    bytes.resize(static_cast<std::size_t>(info.st_size));
    ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  std::fclose(f);
  return ok;
}

// Rows go straight into a 32-bit canvas, whose pixels are 0x00RRGGBB words;
// other depths collect the picture and convert it once decoded.
class CanvasTarget : public PictureTarget {
 public:
  explicit CanvasTarget(GraphicsDevice& device) : device_(device) {}
  ~CanvasTarget() override {
    if (canvas_) device_.freeCanvas(canvas_);
  }

  bool begin(int width, int height) noexcept override {
    canvas_ = device_.createCanvas(width, height);
    if (!canvas_) return false;
    if (direct()) return true;
    std::size_t words = static_cast<std::size_t>(width) * height;
    if (words > (512u << 20) / 4) return false;
    try {
      scratch_.assign(words, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  std::uint32_t* row(int y) noexcept override {
    if (direct()) return reinterpret_cast<std::uint32_t*>(canvas_->address(0, y));
    return scratch_.data() + static_cast<std::size_t>(y) * canvas_->width();
  }

  // The finished canvas, now the caller's.
  Canvas* take() {
    if (!direct()) {
      const PixelFormat& f = canvas_->format();
      for (int y = 0; y < canvas_->height(); ++y) {
        const std::uint32_t* s = row(y);
        std::uint8_t* d = canvas_->address(0, y);
        for (int x = 0; x < canvas_->width(); ++x, d += f.bytesPerPixel) storePixel(d, f.depth, f.fromArgb(s[x]));
      }
    }
    Canvas* c = canvas_;
    canvas_ = nullptr;
    return c;
  }

 private:
  bool direct() const {
    const PixelFormat& f = canvas_->format();
    return f.depth == 32 && f.mask[PixelFormat::kRed] == 0xFF0000 && f.mask[PixelFormat::kGreen] == 0xFF00 &&
           f.mask[PixelFormat::kBlue] == 0xFF;
  }

  GraphicsDevice& device_;
  Canvas* canvas_ = nullptr;
  std::vector<std::uint32_t> scratch_;
};

}  // namespace

Canvas* loadPictureCanvas(GraphicsDevice& device, const std::string& programName) {
  std::string path;
  std::vector<std::uint8_t> bytes;
  if (!resolveProgramPath(programName, path) || !readWholeFile(path, bytes)) return nullptr;
  CanvasTarget target(device);
  if (!decodePicture(bytes.data(), bytes.size(), programName, target)) return nullptr;
  return target.take();
}

}  // namespace kr
