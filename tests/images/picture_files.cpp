#include "tests/images/picture_files.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace imgtest {

namespace {

void put(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

Pixels pattern(int width, int height, std::uint32_t seed) {
  Pixels p;
  p.width = width, p.height = height;
  std::uint32_t v = seed * 2654435761u + 1;
  for (int i = 0; i < width * height; ++i) {
    v = v * 1664525u + 1013904223u;
    p.rgb.push_back((v >> 8) & 0xFFFFFF);
  }
  return p;
}

Pixels gradient(int width, int height) {
  Pixels p;
  p.width = width, p.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint32_t r = x * 255 / (width - 1), g = y * 255 / (height - 1), b = (x + y) * 255 / (width + height - 2);
      p.rgb.push_back((r << 16) | (g << 8) | b);
    }
  return p;
}

std::string bmpWithData(const BmpSpec& spec, int width, int height, const std::string& data) {
  std::string info;
  if (spec.headerSize == 12) {
    put(info, 12, 4);
    put(info, width, 2);
    put(info, height, 2);
    put(info, 1, 2);
    put(info, spec.bits, 2);
  } else {
    put(info, spec.headerSize, 4);
    put(info, width, 4);
    put(info, static_cast<std::uint32_t>(spec.topDown ? -height : height), 4);
    put(info, 1, 2);
    put(info, spec.bits, 2);
    put(info, spec.compression, 4);
    put(info, static_cast<std::uint32_t>(data.size()), 4);
    put(info, 2835, 4);
    put(info, 2835, 4);
    put(info, spec.colourCount, 4);
    put(info, 0, 4);
    if (spec.headerSize > 40) {
      for (std::uint32_t m : spec.masks) put(info, m, 4);
      info.resize(spec.headerSize, '\0');
    } else if (spec.compression == 3) {
      for (std::uint32_t m : spec.masks) put(info, m, 4);
    }
  }
  for (std::uint32_t c : spec.palette) put(info, c, spec.headerSize == 12 ? 3 : 4);
  std::string file = "BM";
  put(file, static_cast<std::uint32_t>(14 + info.size() + data.size()), 4);
  put(file, 0, 4);
  put(file, static_cast<std::uint32_t>(14 + info.size()), 4);
  return file + info + data;
}

std::string bmpFile(const BmpSpec& spec, int width, int height, const std::vector<std::vector<std::uint8_t>>& rows) {
  std::size_t rowBytes = ((static_cast<std::size_t>(width) * spec.bits + 31) / 32) * 4;
  std::string data;
  for (int i = 0; i < height; ++i) {
    const auto& row = rows[spec.topDown ? i : height - 1 - i];
    std::string r(row.begin(), row.end());
    r.resize(rowBytes, '\0');
    data += r;
  }
  return bmpWithData(spec, width, height, data);
}

std::string bmp24(const Pixels& p) {
  std::vector<std::vector<std::uint8_t>> rows(p.height);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      std::uint32_t c = p.at(x, y);
      rows[y].insert(rows[y].end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                     static_cast<std::uint8_t>(c >> 16)});
    }
  return bmpFile(BmpSpec(), p.width, p.height, rows);
}

// ---- PNG ----

namespace {

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void pngFlush(png_structp) {}

// Packs one row of samples at the bit depth, big-endian as PNG stores them.
std::vector<png_byte> packRow(const std::vector<std::uint16_t>& samples, int depth) {
  std::vector<png_byte> out;
  if (depth == 16) {
    for (auto s : samples) out.insert(out.end(), {static_cast<png_byte>(s >> 8), static_cast<png_byte>(s)});
  } else if (depth == 8) {
    for (auto s : samples) out.push_back(static_cast<png_byte>(s));
  } else {
    out.assign((samples.size() * depth + 7) / 8, 0);
    for (std::size_t i = 0; i < samples.size(); ++i)
      out[i * depth / 8] |= static_cast<png_byte>(samples[i] << (8 - depth - (i * depth) % 8));
  }
  return out;
}

}  // namespace

std::string pngFile(const PngSpec& spec, int width, int height,
                    const std::vector<std::vector<std::uint16_t>>& samples) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) throw std::runtime_error("png encoder failed");
  png_set_write_fn(png, &out, pngWrite, pngFlush);
  png_set_IHDR(png, info, width, height, spec.bitDepth, spec.colourType,
               spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (std::uint32_t c : spec.palette)
    palette.push_back(png_color{static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8), static_cast<png_byte>(c)});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (spec.gamma) png_set_gAMA(png, info, 1 / 1.8);
  std::vector<png_byte> alphas(palette.size(), 0);
  png_color_16 key{};
  if (spec.transparency) {
    if (spec.colourType == PNG_COLOR_TYPE_PALETTE)
      png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    else
      png_set_tRNS(png, info, nullptr, 0, &key);  // black (grey 0) transparent
  }
  png_write_info(png, info);
  std::vector<std::vector<png_byte>> rows;
  for (const auto& r : samples) rows.push_back(packRow(r, spec.bitDepth));
  std::vector<png_bytep> pointers;
  for (auto& r : rows) pointers.push_back(r.data());
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string pngBlank(int width, int height) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) throw std::runtime_error("png encoder failed");
  png_set_write_fn(png, &out, pngWrite, pngFlush);
  png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row((width + 7) / 8, 0);
  for (int y = 0; y < height; ++y) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// ---- JPEG ----

std::string jpegFile(const Pixels& p, int quality, bool progressive, bool grey) {
  jpeg_compress_struct c;
  jpeg_error_mgr errors;
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = p.width, c.image_height = p.height;
  c.input_components = grey ? 1 : 3;
  c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(p.width * 3);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < p.width; ++x) {
      std::uint32_t v = p.at(x, c.next_scanline);
      if (grey) {
        row[x] = (v >> 8) & 0xFF;
      } else {
        row[3 * x] = v >> 16, row[3 * x + 1] = v >> 8, row[3 * x + 2] = v;
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string out(reinterpret_cast<char*>(buffer), size);
  free(buffer);
  return out;
}

Pixels jpegReference(const std::string& file) {
  jpeg_decompress_struct d;
  jpeg_error_mgr errors;
  d.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(file.data()), file.size());
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d);
  Pixels p;
  p.width = d.output_width, p.height = d.output_height;
  std::vector<unsigned char> row(p.width * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW r = row.data();
    jpeg_read_scanlines(&d, &r, 1);
    for (int x = 0; x < p.width; ++x) p.rgb.push_back((row[3 * x] << 16) | (row[3 * x + 1] << 8) | row[3 * x + 2]);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return p;
}

}  // namespace imgtest
