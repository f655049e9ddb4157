// The "Start Multiplayer Game" dialog on a real X screen, driven by injected
// mouse and keyboard events: one krrun creates a game through it, a second
// finds that game in its list and joins it with a double click.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <future>
#include <iterator>

#include "graphics/dialog_face.h"
#include "net/dialog_font.h"
#include "tests/net/net_support.h"
#include "tests/support/xvfb_server.h"

using namespace nettest;
using krtest::shellOutput;

namespace {

// Positions inside the dialog, in pixels from dialog units (x * 6 / 4, y * 13 / 8).
const char* kOpenConnections = "30 42";
const char* kLanEntry = "30 75";  // second row under the connection box, for 13 to 16-pixel rows
const char* kNameEdit = "60 258";
const char* kCreate = "50 300";
const char* kFirstGame = "40 92";
const char* kCancel = "230 300";
const SDL_Rect kConnectionLabel{15, 17, 255, 13};

// The black pixels of a region, cut to their bounding box: the shape of a text.
struct Ink {
  int width = 0, height = 0;
  std::vector<bool> set;
  bool operator==(const Ink& o) const { return width == o.width && height == o.height && set == o.set; }
};

template <typename IsBlack>
Ink inkOf(const SDL_Rect& r, IsBlack isBlack) {
  int left = r.w, top = r.h, right = -1, bottom = -1;
  for (int y = 0; y < r.h; ++y)
    for (int x = 0; x < r.w; ++x)
      if (isBlack(r.x + x, r.y + y)) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  Ink ink;
  if (right < 0) return ink;
  ink.width = right - left + 1;
  ink.height = bottom - top + 1;
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) ink.set.push_back(isBlack(r.x + x, r.y + y));
  return ink;
}

std::uint32_t bigEndian(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]) << 24 | static_cast<unsigned char>(b[at + 1]) << 16 |
                                    static_cast<unsigned char>(b[at + 2]) << 8 | static_cast<unsigned char>(b[at + 3]));
}

// The ink of a region of an xwd capture (32 bits a pixel, as Xvfb's screens are).
Ink inkOfCapture(const std::string& xwd, const SDL_Rect& r) {
  if (xwd.size() < 100) return Ink{};
  auto field = [&](int i) { return bigEndian(xwd, 4 * static_cast<std::size_t>(i)); };
  const std::uint32_t headerSize = field(0), width = field(4), height = field(5), lsbFirst = field(7) == 0,
                      bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
  const std::uint32_t rgb = field(14) | field(15) | field(16);
  const std::size_t pixels = headerSize + 12u * colours;
  if (bitsPerPixel != 32 || r.x + r.w > static_cast<int>(width) || r.y + r.h > static_cast<int>(height) ||
      xwd.size() < pixels + static_cast<std::size_t>(bytesPerLine) * height)
    return Ink{};
  return inkOf(r, [&](int x, int y) {
    std::size_t at = pixels + static_cast<std::size_t>(y) * bytesPerLine + 4u * static_cast<std::size_t>(x);
    std::uint32_t v = bigEndian(xwd, at);
    if (lsbFirst) v = __builtin_bswap32(v);
    return (v & rgb) == 0;
  });
}

class Dialog {
 public:
  explicit Dialog(const std::string& display) : env_("DISPLAY=" + display + " ") {
    window_ = shellOutput(env_ + "timeout 15 xdotool search --sync --name 'Start Multiplayer Game' | head -1");
  }
  bool found() const { return !window_.empty(); }
  void click(const char* at, int times = 1) {
    shellOutput(env_ + "xdotool mousemove --window " + window_ + " " + at + " click --repeat " + std::to_string(times) +
          " --delay 80 1");
    usleep(200000);
  }
  // The window's pixels as xwd writes them; empty when it cannot.
  std::string capture(const std::string& path) {
    shellOutput(env_ + "xwd -silent -id " + window_ + " -out " + path);
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The label's ink once the first frame is on the screen (empty if never).
  Ink drawnLabel() {
    std::string path = "/tmp/kr_dialog_" + std::to_string(getpid()) + ".xwd";
    Ink ink;
    for (int tries = 0; tries < 20 && ink.width == 0; ++tries) {
      usleep(300000);
      ink = inkOfCapture(capture(path), kConnectionLabel);
    }
    unlink(path.c_str());
    return ink;
  }
  void type(const std::string& text) {
    shellOutput(env_ + "xdotool type --delay 20 '" + text + "'");
    usleep(200000);
  }

 private:
  std::string env_;
  std::string window_;
};

std::future<RunResult> startDialogRun(const std::string& display, const std::string& port,
                                      const std::string& extraEnv = "") {
  return std::async(std::launch::async, [display, port, extraEnv] {
    RunOptions options;
    options.env = {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "KORRIN_TEST_NET_PORT=" + port};
    if (!extraEnv.empty()) options.env.push_back(extraEnv);
    options.timeoutMs = 90000;
    return krtest::runModule("net_dialog", options);
  });
}

Ink inkOfFace(const kr::DialogFont& font, const std::string& text) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 400, 40, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_FillRect(s, nullptr, 0xFFFFFFFF);
  font.draw(s, 0, 0, text, 0xFF000000, SDL_Rect{0, 0, s->w, s->h});
  Ink ink = inkOf(SDL_Rect{0, 0, s->w, s->h}, [s](int x, int y) {
    return (static_cast<Uint32*>(s->pixels)[y * s->pitch / 4 + x] & 0xFFFFFF) == 0;
  });
  SDL_FreeSurface(s);
  return ink;
}

// Opens the dialog, captures the "Connection" label's ink, cancels.
Ink connectionLabelInk(const std::string& display, const std::string& extraEnv, RunResult* run) {
  auto dialog = startDialogRun(display, portBase(), extraEnv);
  Ink ink;
  {
    Dialog d(display);
    if (d.found()) {
      ink = d.drawnLabel();
      d.click(kCancel);
    }
  }
  *run = dialog.get();
  return ink;
}

}  // namespace

TEST(StartDialog, DrawsWithTheDesktopFaceAndFallsBackToItsOwn) {
  if (access("/usr/bin/xdotool", X_OK) != 0 || access("/usr/bin/xwd", X_OK) != 0) GTEST_SKIP() << "xdotool or xwd missing";
  krtest::XServer x;
  ASSERT_TRUE(x.ready());
  const Ink builtin = inkOfFace(*kr::builtinDialogFont(), "Connection");
  ASSERT_GT(builtin.width, 0);
  // What the fonts group's face makes of the label here, as the runtime will.
  kr::installDialogFace();
  const Ink desktop = inkOfFace(*kr::makeDialogFont("MS Sans Serif", 8), "Connection");
  ASSERT_FALSE(desktop == builtin) << "this machine has a sans-serif face";

  RunResult run;
  Ink face = connectionLabelInk(x.display(), "", &run);
  ASSERT_TRUE(ended(run)) << run.err;
  EXPECT_EQ(value(run, "dialog"), "0") << "cancelled";
  ASSERT_GT(face.width, 0) << "the label was drawn";
  EXPECT_TRUE(face == desktop) << "drawn with the desktop's face: " << face.width << "x" << face.height
                               << ", that face " << desktop.width << "x" << desktop.height;

  // A fontconfig that knows no fonts: the dialog keeps its own face.
  std::string config = "/tmp/kr_no_fonts_" + std::to_string(getpid()) + ".conf";
  { std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n"; }
  Ink fallback = connectionLabelInk(x.display(), "FONTCONFIG_FILE=" + config, &run);
  unlink(config.c_str());
  ASSERT_TRUE(ended(run)) << run.err;
  EXPECT_TRUE(fallback == builtin) << "fallback ink " << fallback.width << "x" << fallback.height << ", built-in "
                                   << builtin.width << "x" << builtin.height;
}

TEST(StartDialog, CreatesAGameAndAnotherCopyJoinsItFromTheList) {
  if (access("/usr/bin/xdotool", X_OK) != 0) GTEST_SKIP() << "xdotool missing";
  krtest::XServer x;
  ASSERT_TRUE(x.ready());
  std::string port = portBase();

  auto maker = startDialogRun(x.display(), port);
  {
    Dialog d(x.display());
    ASSERT_TRUE(d.found());
    ASSERT_GT(d.drawnLabel().width, 0) << "the dialog was drawn";  // and so takes clicks
    d.click(kCreate);  // disabled until a connection is chosen: nothing happens
    d.click(kOpenConnections);
    d.click(kLanEntry);
    d.click(kNameEdit);
    d.type("Dlg Made");
    d.click(kCreate);
  }
  usleep(500000);
  auto finder = startDialogRun(x.display(), port);
  {
    Dialog d(x.display());
    ASSERT_TRUE(d.found());
    ASSERT_GT(d.drawnLabel().width, 0) << "the dialog was drawn";
    d.click(kOpenConnections);
    d.click(kLanEntry);
    // The list fills from the first search; on a slow machine that takes a
    // while, so the double click is repeated until the dialog has ended.
    for (int i = 0; i < 20; ++i) {
      usleep(1500000);
      d.click(kFirstGame, 2);
      if (finder.wait_for(std::chrono::milliseconds(500)) == std::future_status::ready) break;
    }
  }
  RunResult made = maker.get();
  RunResult found = finder.get();
  ASSERT_TRUE(ended(made)) << made.err;
  ASSERT_TRUE(ended(found)) << found.err;
  EXPECT_EQ(value(made, "dialog"), "2");
  EXPECT_EQ(value(found, "dialog"), "1");
  EXPECT_EQ(value(made, "other"), "finder");
  EXPECT_EQ(value(found, "other"), "maker");
  EXPECT_EQ(value(found, "hello"), "60");
  EXPECT_EQ(value(made, "reply"), "61");
}

TEST(StartDialog, WithoutADisplayItGivesZeroAtOnce) {
  RunOptions options;
  options.env.push_back("KORRIN_TEST_NET_PORT=" + portBase());
  RunResult r = krtest::runModule("net_dialog_headless", options);
  ASSERT_TRUE(ended(r)) << r.err;
  EXPECT_EQ(value(r, "dialog"), "0");
  EXPECT_EQ(value(r, "quick"), "1");
  EXPECT_EQ(value(r, "host_after"), "2");
}
