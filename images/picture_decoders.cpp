// Telling picture formats apart, by content first and by name second.
#include "images/picture_decoders.h"

#include <cstring>

namespace kr {

namespace {

bool startsWith(const std::uint8_t* data, std::size_t size, const char* magic, std::size_t length) {
  return size >= length && std::memcmp(data, magic, length) == 0;
}

std::string lowerExtension(const std::string& name) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return "";
  std::string ext = name.substr(dot + 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

}  // namespace

PictureKind pictureKindOfContent(const std::uint8_t* data, std::size_t size) {
  if (startsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return PictureKind::kPng;
  if (startsWith(data, size, "\xFF\xD8\xFF", 3)) return PictureKind::kJpeg;
  if (startsWith(data, size, "BM", 2)) return PictureKind::kBmp;
  if (startsWith(data, size, "GIF8", 4) || startsWith(data, size, "II*\0", 4) ||
      startsWith(data, size, "MM\0*", 4))
    return PictureKind::kOther;
  return PictureKind::kUnknown;
}

PictureKind pictureKindOfName(const std::string& name) {
  std::string ext = lowerExtension(name);
  if (ext == "bmp" || ext == "dib") return PictureKind::kBmp;
  if (ext == "png") return PictureKind::kPng;
  if (ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jif" || ext == "jfif") return PictureKind::kJpeg;
  return ext.empty() ? PictureKind::kUnknown : PictureKind::kOther;
}

bool decodePicture(const std::uint8_t* data, std::size_t size, const std::string& name, PictureTarget& target) {
  PictureKind kind = pictureKindOfContent(data, size);
  if (kind == PictureKind::kUnknown) kind = pictureKindOfName(name);
  switch (kind) {
    case PictureKind::kBmp:
      return decodeBmp(data, size, target);
    case PictureKind::kPng:
      return decodePng(data, size, target);
    case PictureKind::kJpeg:
      return decodeJpeg(data, size, target);
    default:
      return false;
  }
}

}  // namespace kr
