// Picture decoding: BMP by the runtime's own reader, PNG through libpng, JPEG
// through libjpeg-turbo. Decoders hand their rows to a PictureTarget as
// 0x00RRGGBB words, after the target accepted the size from the header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kr {

enum class PictureKind { kUnknown, kBmp, kPng, kJpeg, kOther };

// What the first bytes of a file say it is; kOther for formats that are
// recognised but never loaded (TGA, GIF, TIFF), kUnknown when nothing matches.
PictureKind pictureKindOfContent(const std::uint8_t* data, std::size_t size);
// By the text after the last "." of a file name, ignoring case.
PictureKind pictureKindOfName(const std::string& name);

class PictureTarget {
 public:
  virtual ~PictureTarget() = default;
  // The size from the header, before any pixel is decoded; false refuses it.
  virtual bool begin(int width, int height) noexcept = 0;
  // Row y as width words, valid until the decoder returns. A decoder may write
  // a row more than once (interlaced pictures); unwritten pixels stay 0.
  virtual std::uint32_t* row(int y) noexcept = 0;
};

// Each returns false, leaving the target as begin left it, on any fault in the
// data; none reads outside [data, data + size).
bool decodeBmp(const std::uint8_t* data, std::size_t size, PictureTarget& target);
bool decodePng(const std::uint8_t* data, std::size_t size, PictureTarget& target);
bool decodeJpeg(const std::uint8_t* data, std::size_t size, PictureTarget& target);

// The format by content, else by the name's extension; only BMP, PNG and JPEG
// are decoded.
bool decodePicture(const std::uint8_t* data, std::size_t size, const std::string& name, PictureTarget& target);

}  // namespace kr
