// The runtime's own BMP reader. Every offset and size comes from the file, so
// each is checked against the file's length before it is used, in 64 bits.
#include <cstring>

#include "images/picture_decoders.h"

namespace kr {

namespace {

enum Compression { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

constexpr std::int64_t kMaxSide = 1 << 24;  // the target refuses far less; keeps products in range

std::uint32_t le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A channel given by a bit mask, widened to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;
  explicit Channel(std::uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    max = m >> shift;
  }
  std::uint32_t to8(std::uint32_t pixel) const {
    if (!max) return 0;
    std::uint64_t v = (pixel & mask) >> shift;
    return static_cast<std::uint32_t>((v * 255 + max / 2) / max);
  }
};

struct BmpInfo {
  std::int64_t width = 0, height = 0;
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = 0;
  std::uint64_t pixelOffset = 0;
  Channel red, green, blue;
  std::uint32_t palette[256] = {};
};

bool readHeader(const std::uint8_t* d, std::size_t size, BmpInfo& info) {
  if (size < 26 || d[0] != 'B' || d[1] != 'M') return false;
  info.pixelOffset = le32(d + 10);
  const std::uint64_t headerSize = le32(d + 14);
  std::uint64_t paletteAt = 14 + headerSize;
  int paletteEntryBytes = 4;
  std::uint64_t colours = 0;
  if (headerSize == 12) {  // the old core header: 16-bit sides, 3-byte palette entries
    info.width = le16(d + 18);
    info.height = static_cast<std::int16_t>(le16(d + 20));
    info.bits = static_cast<int>(le16(d + 24));
    paletteEntryBytes = 3;
  } else if (headerSize >= 40 && headerSize <= 4096 && size >= 14 + 40) {
    info.width = static_cast<std::int32_t>(le32(d + 18));
    info.height = static_cast<std::int32_t>(le32(d + 22));
    info.bits = static_cast<int>(le16(d + 28));
    info.compression = le32(d + 30);
    colours = le32(d + 46);
    if (info.compression == kBitFields || info.compression == kAlphaBitFields) {
      // Masks follow a 40-byte header, or sit inside a longer one.
      if (size < 14 + 40 + 12) return false;
      info.red = Channel(le32(d + 54));
      info.green = Channel(le32(d + 58));
      info.blue = Channel(le32(d + 62));
      if (headerSize == 40) paletteAt += info.compression == kAlphaBitFields ? 16 : 12;
    }
  } else {
    return false;
  }
  if (info.height < 0) info.topDown = true, info.height = -info.height;
  if (info.width < 1 || info.height < 1 || info.width > kMaxSide || info.height > kMaxSide) return false;

  switch (info.compression) {
    case kRgb:
      if (info.bits != 1 && info.bits != 4 && info.bits != 8 && info.bits != 16 && info.bits != 24 && info.bits != 32)
        return false;
      if (info.bits == 16) info.red = Channel(0x7C00), info.green = Channel(0x3E0), info.blue = Channel(0x1F);
      if (info.bits == 32) info.red = Channel(0xFF0000), info.green = Channel(0xFF00), info.blue = Channel(0xFF);
      break;
    case kRle8:
    case kRle4:
      if (info.bits != (info.compression == kRle8 ? 8 : 4) || info.topDown) return false;
      break;
    case kBitFields:
    case kAlphaBitFields:
      if (info.bits != 16 && info.bits != 32) return false;
      break;
    default:
      return false;
  }

  if (info.bits <= 8) {
    // Counts past what the depth can index, or past the file, are cut short;
    // entries never read stay black.
    std::uint64_t most = 1ull << info.bits;
    if (colours == 0 || colours > most) colours = most;
    for (std::uint64_t i = 0; i < colours; ++i) {
      std::uint64_t at = paletteAt + i * paletteEntryBytes;
      if (at + 3 > size) break;
      info.palette[i] = d[at] | (d[at + 1] << 8) | (d[at + 2] << 16);
    }
  }
  return info.pixelOffset < size;
}

// Uncompressed rows: every row must be in the file.
bool readRows(const std::uint8_t* d, std::size_t size, const BmpInfo& info, PictureTarget& target) {
  const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(info.width) * info.bits + 31) / 32) * 4;
  if (info.pixelOffset + rowBytes * info.height > size) return false;
  const int w = static_cast<int>(info.width), h = static_cast<int>(info.height);
  for (int r = 0; r < h; ++r) {
    const std::uint8_t* s = d + info.pixelOffset + rowBytes * r;
    std::uint32_t* out = target.row(info.topDown ? r : h - 1 - r);
    switch (info.bits) {
      case 1:
      case 4:
      case 8: {
        const int perByte = 8 / info.bits;
        const unsigned valueMask = (1u << info.bits) - 1;
        for (int x = 0; x < w; ++x) {
          int shift = 8 - info.bits * (x % perByte + 1);
          out[x] = info.palette[(s[x / perByte] >> shift) & valueMask];
        }
        break;
      }
      case 24:
        for (int x = 0; x < w; ++x, s += 3) out[x] = s[0] | (s[1] << 8) | (s[2] << 16);
        break;
      default: {
        const int bytes = info.bits / 8;
        for (int x = 0; x < w; ++x, s += bytes) {
          std::uint32_t v = bytes == 2 ? le16(s) : le32(s);
          out[x] = (info.red.to8(v) << 16) | (info.green.to8(v) << 8) | info.blue.to8(v);
        }
      }
    }
  }
  return true;
}

// Run-length pictures: runs and deltas that leave the picture are clipped.
// False when the data ends before the picture does.
bool readRle(const std::uint8_t* d, std::size_t size, const BmpInfo& info, PictureTarget& target) {
  const std::int64_t w = info.width, h = info.height;
  const bool four = info.compression == kRle4;
  std::uint64_t at = info.pixelOffset;
  std::int64_t x = 0, y = 0;  // y counts up from the bottom row
  auto put = [&](std::int64_t px, unsigned index) {
    if (px < w && y < h) target.row(static_cast<int>(h - 1 - y))[px] = info.palette[index & 0xFF];
  };
  while (y < h) {
    if (at + 2 > size) return false;
    unsigned count = d[at], value = d[at + 1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i, ++x)
        put(x, four ? ((i & 1) ? value & 0xF : value >> 4) : value);
      continue;
    }
    if (value == 0) {
      x = 0, ++y;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (at + 2 > size) return false;
      x += d[at], y += d[at + 1];
      at += 2;
    } else {
      // An absolute run of `value` pixels, padded to a 16-bit boundary.
      std::uint64_t bytes = four ? (value + 1) / 2 : value;
      if (at + bytes > size) return false;
      for (unsigned i = 0; i < value; ++i, ++x)
        put(x, four ? ((i & 1) ? d[at + i / 2] & 0xF : d[at + i / 2] >> 4) : d[at + i]);
      at += (bytes + 1) & ~1ull;
    }
  }
  return true;
}

}  // namespace

bool decodeBmp(const std::uint8_t* data, std::size_t size, PictureTarget& target) {
  BmpInfo info;
  if (!readHeader(data, size, info)) return false;
  if (!target.begin(static_cast<int>(info.width), static_cast<int>(info.height))) return false;
  if (info.compression == kRle8 || info.compression == kRle4) return readRle(data, size, info, target);
  return readRows(data, size, info, target);
}

}  // namespace kr
