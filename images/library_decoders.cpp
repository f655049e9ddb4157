// PNG and JPEG through their libraries. Both report errors by longjmp, so each
// decoder is one C-style function: no object with a destructor lives across
// its setjmp, and the targets it calls never throw.
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include "graphics/canvas.h"
#include "images/picture_decoders.h"

namespace kr {

namespace {

// ---- PNG ----

struct PngInput {
  const std::uint8_t* data;
  std::size_t size, at;
};

void pngRead(png_structp png, png_bytep out, png_size_t length) {
  auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
  if (length > in->size - in->at) png_error(png, "truncated");
  std::memcpy(out, in->data + in->at, length);
  in->at += length;
}

void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

// Rows come out as blue, green, red and a zero byte: a little-endian 0x00RRGGBB.
// Alpha, transparency chunks and gamma are not applied; 16-bit channels keep
// their high byte.
void setPngTransforms(png_structp png, png_infop info) {
  int colourType = png_get_color_type(png, info);
  int depth = png_get_bit_depth(png, info);
  if (depth == 16) png_set_strip_16(png);
  if (colourType & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (!(colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
}

}  // namespace

bool decodePng(const std::uint8_t* data, std::size_t size, PictureTarget& target) {
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
  PngInput input{data, size, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  // Sides past a canvas's are refused from the header; compressed text and
  // profiles may not inflate without bound.
  png_set_user_limits(png, Canvas::kMaxSide, Canvas::kMaxSide);
  png_set_chunk_malloc_max(png, 8 << 20);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_read_fn(png, &input, pngRead);
  png_read_info(png, info);
  png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  setPngTransforms(png, info);
  int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4 ||
      !target.begin(static_cast<int>(width), static_cast<int>(height))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y)
      png_read_row(png, reinterpret_cast<png_bytep>(target.row(static_cast<int>(y))), nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// ---- JPEG ----

namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

void jpegFail(j_common_ptr info) { longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }
void jpegQuiet(j_common_ptr) {}

// Warnings pass, except that the data ended early: a truncated file gives
// nothing rather than a picture padded with grey.
void jpegWarning(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) jpegFail(info);
}

// A progressive file may hold any number of scans, each a pass over the whole
// picture; real files have a dozen.
constexpr int kMaxScans = 256;

void jpegProgress(j_common_ptr info) {
  if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans)
    jpegFail(info);
}

}  // namespace

bool decodeJpeg(const std::uint8_t* data, std::size_t size, PictureTarget& target) {
  if (size < 3 || data[0] != 0xFF || data[1] != 0xD8) return false;
  jpeg_decompress_struct info;
  JpegErrors errors;
  jpeg_progress_mgr progress;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jpegFail;
  errors.manager.output_message = jpegQuiet;
  errors.manager.emit_message = jpegWarning;
  progress.progress_monitor = jpegProgress;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  info.progress = &progress;
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  if (info.image_width > static_cast<JDIMENSION>(Canvas::kMaxSide) ||
      info.image_height > static_cast<JDIMENSION>(Canvas::kMaxSide) ||
      !target.begin(static_cast<int>(info.image_width), static_cast<int>(info.image_height))) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // The accurate decoder: exact integer DCT and smooth chroma upsampling.
  info.out_color_space = JCS_EXT_BGRX;
  info.dct_method = JDCT_ISLOW;
  info.do_fancy_upsampling = TRUE;
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    int y = static_cast<int>(info.output_scanline);
    std::uint32_t* row = target.row(y);
    JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(row)};
    jpeg_read_scanlines(&info, rows, 1);
    for (JDIMENSION x = 0; x < info.output_width; ++x) row[x] &= 0xFFFFFF;  // the filler byte
  }
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace kr
