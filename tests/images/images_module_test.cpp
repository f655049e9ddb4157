// The image commands as programs use them, run by krrun headless: loading
// good and hostile files, frames, drawing against a per-pixel model,
// collisions, transforms, LoadBuffer, and the errors of bad values.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>

#include "images/picture_decoders.h"
#include "tests/images/picture_files.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using namespace imgtest;

namespace {

std::vector<std::string> values(const RunResult& r, const std::string& label) {
  std::vector<std::string> found;
  for (const std::string& line : r.logs())
    if (line.compare(0, label.size() + 1, label + "=") == 0) found.push_back(line.substr(label.size() + 1));
  return found;
}

std::string value(const RunResult& r, const std::string& label) { return r.value(label); }

long long number(const RunResult& r, const std::string& label) { return std::atoll(value(r, label).c_str()); }

void ended(const RunResult& r) { ASSERT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err; }

// A saved BMP, read back with the runtime's own reader.
Pixels readSaved(const std::string& path) {
  struct Target : kr::PictureTarget {
    Pixels p;
    bool begin(int w, int h) noexcept override {
      p.width = w, p.height = h;
      p.rgb.assign(static_cast<std::size_t>(w) * h, 0);
      return true;
    }
    std::uint32_t* row(int y) noexcept override { return p.rgb.data() + static_cast<std::size_t>(y) * p.width; }
  } t;
  std::string saved = readFile(path);
  if (!kr::decodeBmp(reinterpret_cast<const std::uint8_t*>(saved.data()), saved.size(), t)) return Pixels();
  return t.p;
}

// Blocks of 4 x 4 pixels, each of its own colour.
std::uint32_t stripColour(int x, int y) {
  std::uint32_t bx = x / 4, by = y / 4;
  return ((bx * 10 + 5) << 16) | ((by * 20 + 3) << 8) | ((bx + by) * 7 & 0xFF);
}

std::uint32_t gridColour(int x, int y) {
  return ((x / 32 * 50 + 10) << 16) | ((y / 32 * 90 + 5) << 8) | (x % 32 + y % 32);
}

Pixels picture(int w, int h, std::uint32_t (*colour)(int, int)) {
  Pixels p;
  p.width = w, p.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.rgb.push_back(colour(x, y));
  return p;
}

std::string with32(std::string f, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
  return f;
}

// A real bomb: a valid 16384 x 16384 PNG of one grey, 1 bit deep.
const std::string& pngBomb() {
  static const std::string bomb = pngBlank(16384, 16384);
  return bomb;
}

void writePictures(const TempDir& dir) {
  mkdir(dir.file("gfx").c_str(), 0755);
  writeFile(dir.file("gfx/player.bmp"), bmp24(pattern(5, 3, 1)));
  PngSpec png;
  writeFile(dir.file("fake.bmp"), pngFile(png, 4, 2, std::vector<std::vector<std::uint16_t>>(2, std::vector<std::uint16_t>(12, 200))));
  writeFile(dir.file("photo.jpg"), jpegFile(gradient(32, 16), 95, true));
  writeFile(dir.file("strip.bmp"), bmp24(picture(100, 50, stripColour)));
  writeFile(dir.file("grid.bmp"), bmp24(picture(96, 64, gridColour)));

  std::string good = bmp24(pattern(4, 4, 2));
  writeFile(dir.file("empty.bmp"), "");
  writeFile(dir.file("text.bmp"), "Just some words, no picture at all.\n");
  mkdir(dir.file("folder.png").c_str(), 0755);
  writeFile(dir.file("pic.tga"), std::string("\0\0\x02\0\0\0\0\0\0\0\0\0\x04\0\x04\0\x18\0", 18) + std::string(48, '\x7f'));
  writeFile(dir.file("pic.gif"), std::string("GIF89a\x04\0\x04\0\x80\0\0", 13) + std::string(40, '\0'));
  writeFile(dir.file("pic.tif"), std::string("II*\0\x08\0\0\0", 8) + std::string(40, '\0'));
  std::string fullPng = pngFile(png, 8, 8, std::vector<std::vector<std::uint16_t>>(8, std::vector<std::uint16_t>(24, 9)));
  writeFile(dir.file("cut.png"), fullPng.substr(0, fullPng.size() / 2));
  writeFile(dir.file("huge.bmp"), with32(with32(good, 18, 100000), 22, 100000));
  writeFile(dir.file("negative.bmp"), with32(good, 18, 0xFFFFFFFBu));
  writeFile(dir.file("zero.bmp"), with32(with32(good, 18, 0), 22, 0));
  std::string seven = good;
  seven[28] = 7;
  writeFile(dir.file("seven.bmp"), seven);
  writeFile(dir.file("bomb.png"), pngBomb());
  std::string jpeg = jpegFile(gradient(64, 64), 90, false);
  writeFile(dir.file("cut.jpg"), jpeg.substr(0, jpeg.size() / 2));
  writeFile(dir.file("noname"), "text");
}

// ---- loading ----

TEST(ImageLoading, PicturesLoadWithTheirColoursAndBadFilesGiveNothing) {
  TempDir dir;
  writePictures(dir);
  RunResult r = runModuleIn("img_loading", dir);
  ended(r);
  Pixels player = pattern(5, 3, 1);
  EXPECT_EQ(number(r, "player_w"), 5);
  EXPECT_EQ(number(r, "player_h"), 3);
  EXPECT_EQ(number(r, "player_0_0"), player.at(0, 0));
  EXPECT_EQ(number(r, "player_4_2"), player.at(4, 2));
  EXPECT_EQ(number(r, "fake_w"), 4) << "a PNG named .bmp";
  EXPECT_EQ(number(r, "fake_1_1"), 0xC8C8C8);
  EXPECT_EQ(number(r, "photo_w"), 32);
  Pixels photo = jpegReference(readFile(dir.file("photo.jpg")));
  for (auto [label, x, y] : {std::tuple{"photo_31_15", 31, 15}, std::tuple{"photo_0_0", 0, 0}}) {
    auto got = static_cast<std::uint32_t>(number(r, label));
    for (int shift : {0, 8, 16})
      EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((photo.at(x, y) >> shift) & 0xFF), 1)
          << label;
  }
  for (const char* bad : {"missing.png", "empty.bmp", "text.bmp", "folder.png", "pic.tga", "pic.gif", "pic.tif",
                          "cut.png", "huge.bmp", "negative.bmp", "zero.bmp", "seven.bmp", "bomb.png", "cut.jpg",
                          "noname"})
    EXPECT_EQ(values(r, bad), (std::vector<std::string>{"0", "0"})) << bad;
  EXPECT_EQ(value(r, "vidmem_kept"), "1") << "failed loads leave nothing behind";
}

// What a 5-6-5 display keeps of a colour.
std::uint32_t quantised565(std::uint32_t c) { return c & 0xF8FCF8; }

TEST(ImageLoading, SixteenBitDisplaysConvertEveryPicture) {
  TempDir dir;
  writePictures(dir);
  RunResult r = runModuleIn("img_depth16", dir);
  ended(r);
  ASSERT_EQ(value(r, "depth"), "16");
  Pixels player = pattern(5, 3, 1);
  EXPECT_EQ(number(r, "player_0_0"), quantised565(player.at(0, 0)));
  EXPECT_EQ(number(r, "player_4_2"), quantised565(player.at(4, 2)));
  Pixels photo = jpegReference(readFile(dir.file("photo.jpg")));
  auto got = static_cast<std::uint32_t>(number(r, "photo_31_15"));
  EXPECT_EQ(got & ~0xF8FCF8u, 0u);
  for (int shift : {0, 8, 16})
    EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((photo.at(31, 15) >> shift) & 0xFF), 9);
  EXPECT_EQ(number(r, "grid_f0"), quantised565(gridColour(32, 32)));
  EXPECT_EQ(number(r, "scaled"), 64);
  // The filtered corner takes 9/16 of its pixel and the rest from the mask
  // colour (black), then the display's quantisation.
  std::uint32_t c = quantised565(gridColour(32, 32)), want = 0;
  for (int shift : {16, 8, 0})
    want |= static_cast<std::uint32_t>(0.5625f * ((c >> shift) & 0xFF) + 0.5f) << shift;
  EXPECT_EQ(number(r, "scaled_0_0"), quantised565(want));
}

TEST(ImageLoading, LoadBufferStretchesOverTheWholeBufferWhateverItsOrigin) {
  TempDir dir;
  writePictures(dir);
  RunResult r = runModuleIn("img_loading", dir);
  ended(r);
  EXPECT_EQ(value(r, "loadbuffer_bad"), "0");
  EXPECT_EQ(number(r, "untouched"), 0x010203);
  EXPECT_EQ(value(r, "loadbuffer_strip"), "1");
  Pixels saved = readSaved(dir.file("loadbuffer.bmp"));
  ASSERT_EQ(saved.width, 320);
  // Wherever all four filter neighbours lie in one block, the block's colour.
  int checked = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x) {
      float fx = (x + 0.5f) * (100.0f / 320) - 0.5f, fy = (y + 0.5f) * (50.0f / 200) - 0.5f;
      int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
      if (fx < 0 || fy < 0 || x0 / 4 != (x0 + 1) / 4 || y0 / 4 != (y0 + 1) / 4 || x0 + 1 >= 100 || y0 + 1 >= 50) continue;
      ASSERT_EQ(saved.at(x, y), stripColour(x0, y0)) << x << "," << y;
      ++checked;
    }
  EXPECT_GT(checked, 10000);
  // SaveImage wrote the player; a missing folder gives 0.
  EXPECT_EQ(value(r, "save"), "1");
  EXPECT_EQ(readSaved(dir.file("saved.bmp")).rgb, pattern(5, 3, 1).rgb);
  EXPECT_EQ(value(r, "save_missing_folder"), "0");
}

// ---- frames ----

TEST(ImageFrames, SlicingHandlesCopiesGrabsAndFrees) {
  TempDir dir;
  writePictures(dir);
  RunResult r = runModuleIn("img_frames", dir);
  ended(r);
  EXPECT_EQ(number(r, "strip_w"), 32);
  EXPECT_EQ(number(r, "strip_f0"), stripColour(32, 0));
  EXPECT_EQ(number(r, "strip_f1"), stripColour(64, 0));
  EXPECT_EQ(number(r, "grid_f0"), gridColour(64, 0));
  EXPECT_EQ(number(r, "grid_f1"), gridColour(0, 32)) << "the next row starts at x 0";
  EXPECT_EQ(number(r, "grid_f2"), gridColour(32, 32));
  EXPECT_EQ(number(r, "grid_f3"), gridColour(95, 63));
  EXPECT_EQ(number(r, "auto_anim_handle"), 16);
  EXPECT_EQ(number(r, "auto_create_handle"), 403);
  EXPECT_EQ(number(r, "auto_off_handle"), 0);
  EXPECT_EQ(number(r, "mid_handle"), 5025);
  EXPECT_EQ(number(r, "copy_handle"), -300 + 4);
  EXPECT_EQ(value(r, "copy_same"), "1");
  EXPECT_EQ(number(r, "copy_mask"), 0xFF00FF);
  EXPECT_EQ(number(r, "created_black"), 0);
  EXPECT_EQ(value(r, "no_frames_handle"), "1");
  EXPECT_EQ(value(r, "create_zero"), "0");
  EXPECT_EQ(value(r, "create_negative"), "0");
  EXPECT_EQ(value(r, "create_huge"), "0");
  EXPECT_EQ(value(r, "create_many"), "0");
  EXPECT_EQ(value(r, "grab_same"), "1");
  EXPECT_EQ(value(r, "grab_corner"), "1");
  EXPECT_EQ(value(r, "grab_from_frame"), "1");
  EXPECT_EQ(value(r, "front_current"), "1");
  EXPECT_EQ(value(r, "frees_survived"), "1");
}

// ---- drawing against a model ----

struct Model {
  int w = 64, h = 48;
  std::vector<std::uint32_t> px = std::vector<std::uint32_t>(64 * 48, 0x0A141E);
  int ox = 0, oy = 0;
  int vl = 0, vt = 0, vr = 64, vb = 48;
  void viewport(int x, int y, int vw, int vh) { vl = x, vt = y, vr = x + vw, vb = y + vh; }
};

struct Frame {
  int w = 7, h = 5, hx = 0, hy = 0;
  std::uint32_t mask = 0;
  std::vector<std::uint32_t> px;
};

std::uint32_t framePixel(int x, int y, int f) {
  if ((x * 37 + y * 11 + f * 5) % 4 == 0) return 0;
  return ((x + 1) * 30 << 16) | ((y + 1) * 40 << 8) | (f * 100 + 20);
}

// The blit: destination (x, y) + origin - handle, clipped to the viewport and
// the frame.
void draw(Model& m, const Frame& f, long long x, long long y, int sx, int sy, int sw, int sh, bool solid) {
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sw; ++i) {
      long long dx = x + m.ox - f.hx + i, dy = y + m.oy - f.hy + j;
      int fx = sx + i, fy = sy + j;
      if (fx < 0 || fy < 0 || fx >= f.w || fy >= f.h || dx < m.vl || dx >= m.vr || dy < m.vt || dy >= m.vb) continue;
      std::uint32_t c = f.px[fy * f.w + fx];
      if (!solid && c == f.mask) continue;
      m.px[dy * m.w + dx] = c;
    }
}

void tile(Model& m, const Frame& f, long long x, long long y, bool solid) {
  long long bx = m.vl - m.ox + f.hx, by = m.vt - m.oy + f.hy;
  auto start = [](long long d, long long size) { return d >= 0 ? d % size : size - (-d) % size; };
  long long sx = bx + start(x - bx, f.w), sy = by + start(y - by, f.h);
  for (long long ty = -f.h; ty < m.vb - m.vt; ty += f.h)
    for (long long tx = -f.w; tx < m.vr - m.vl; tx += f.w) draw(m, f, sx + tx, sy + ty, 0, 0, f.w, f.h, solid);
}

TEST(ImageDrawing, EveryDrawingCommandMatchesThePixelModel) {
  TempDir dir;
  RunResult r = runModuleIn("img_draw", dir);
  ended(r);
  Frame frames[2];
  for (int f = 0; f < 2; ++f)
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) frames[f].px.push_back(framePixel(x, y, f));
  std::vector<Model> scenes(7);
  {
    Model& m = scenes[0];
    draw(m, frames[0], 3, 4, 0, 0, 7, 5, false);
    draw(m, frames[1], 20, 4, 0, 0, 7, 5, true);
    draw(m, frames[1], -3, -2, 0, 0, 7, 5, false);
    draw(m, frames[0], 60, 45, 0, 0, 7, 5, true);
  }
  for (Frame& f : frames) f.hx = 2, f.hy = 1;
  {
    Model& m = scenes[1];
    m.ox = 5, m.oy = 7;
    draw(m, frames[0], 0, 0, 0, 0, 7, 5, false);
    draw(m, frames[1], 10, 10, 0, 0, 7, 5, true);
    m.viewport(8, 8, 20, 15);
    draw(m, frames[1], 12, 5, 0, 0, 7, 5, false);
    draw(m, frames[0], 20, 14, 0, 0, 7, 5, true);
  }
  draw(scenes[2], frames[0], 10, 10, 2, 1, 4, 3, false);
  draw(scenes[2], frames[1], 30, 10, -1, -1, 5, 9, true);
  for (int s : {3, 4}) scenes[s].viewport(3, 4, 50, 30), scenes[s].ox = 2, scenes[s].oy = 3;
  tile(scenes[3], frames[0], 0, 0, false);
  tile(scenes[4], frames[1], -1, 5, true);
  tile(scenes[5], frames[0], -2147483648LL, 2147483647LL, true);
  frames[0].px[1 * 7 + 1] = 0xFF00FF;
  frames[0].mask = 0xFF00FF;
  draw(scenes[6], frames[0], 30, 20, 0, 0, 7, 5, false);

  for (int s = 0; s < 7; ++s) {
    Pixels t = readSaved(dir.file("scene" + std::to_string(s) + ".bmp"));
    ASSERT_EQ(t.width, 64) << s;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x)
        ASSERT_EQ(t.at(x, y), scenes[s].px[y * 64 + x]) << "scene " << s << " at " << x << "," << y;
  }
}

// ---- collisions and transforms ----

TEST(ImageCollisions, CommandsFollowPixelsHandlesAndMasks) {
  RunResult r = runModule("img_collide");
  ended(r);
  std::map<std::string, std::string> want = {
      {"collide_9", "1"},      {"collide_10", "0"},   {"mid_overlap_9", "1"}, {"mid_overlap_10", "0"},
      {"hole_collide", "0"},   {"hole_overlap", "1"}, {"solid_collide", "1"}, {"rect_zero", "0"},
      {"rect_negative", "0"},  {"masked_white", "0"}, {"masked_black", "1"},  {"rects_edge", "0"},
      {"rects_9", "1"},        {"rects_empty_inside", "1"}, {"rects_far", "1"}};
  for (const auto& [label, expected] : want) EXPECT_EQ(value(r, label), expected) << label;
}

TEST(ImageTransforms, SizesHandlesAndDegenerateValues) {
  RunResult r = runModule("img_transform");
  ended(r);
  EXPECT_EQ(number(r, "scaled"), 2020);
  EXPECT_EQ(number(r, "scaled_handle"), 1010);
  EXPECT_EQ(number(r, "resized"), 30030);
  EXPECT_EQ(number(r, "resized_64_32"), 64032);
  EXPECT_EQ(number(r, "rotated"), 10040);
  EXPECT_EQ(number(r, "rotated_0"), 10040);
  EXPECT_EQ(number(r, "degenerate_kept"), 12008);
  EXPECT_EQ(number(r, "over_budget_kept"), 20017);
  EXPECT_LT(number(r, "over_budget_ms"), 500);
  EXPECT_EQ(number(r, "mirrored"), 40051);
  EXPECT_EQ(values(r, "frame_buffer"), (std::vector<std::string>{"1", "1", "1"}));
  EXPECT_EQ(value(r, "tform_front"), "1");
  EXPECT_EQ(number(r, "tform_size"), 24016);
}

// ---- errors ----

TEST(ImageErrors, BadValuesRaiseTheirErrorsWhenDebugging) {
  TempDir dir;
  writePictures(dir);
  const std::pair<const char*, const char*> cases[] = {
      {"img_err_count", "Illegal frame count"},
      {"img_err_first", "Illegal first frame"},
      {"img_err_short", "Not enough frames in bitmap"},
      {"img_err_far", "Not enough frames in bitmap"},
      {"img_err_cell", "Integer divide by zero"},
      {"img_err_noframes", "Image frame out of range"},
      {"img_err_pastlast", "Image frame out of range"},
      {"img_err_negframe", "Image frame out of range"},
      {"img_err_freed", "Image does not exist"},
      {"img_err_graphics", "Image does not exist"},
  };
  for (const auto& [module, message] : cases) {
    RunResult r = runModuleIn(module, dir);
    EXPECT_TRUE(r.errContains(std::string("debugError: ") + message)) << module << ": " << r.err;
    EXPECT_TRUE(r.logs().empty()) << module << " went on after the error";
  }
  // The loading errors come whatever the debug setting.
  RunOptions plain;
  plain.debug = false;
  for (const char* module : {"img_err_count", "img_err_short", "img_err_cell"}) {
    RunResult r = runModuleIn(module, dir, plain);
    EXPECT_TRUE(r.errContains("Error!")) << module << ": " << r.err;
  }
}

TEST(ImageErrors, WithoutDebuggingBadHandlesAndFramesDoNothing) {
  TempDir dir;
  RunOptions plain;
  plain.debug = false;
  RunResult r = runModuleIn("img_quiet", dir, plain);
  EXPECT_FALSE(r.errContains("Error!")) << r.err;
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_FALSE(readFile(dir.file("survived.bmp")).empty()) << "the program ran to its end";
  EXPECT_TRUE(readFile(dir.file("junk.bmp")).empty());
}

}  // namespace
