// The picture on a real X screen: a module draws under Xvfb with the x11 video
// driver and captures the screen with xwd; the captures are compared with the
// front buffers it saved.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/graphics/picture_files.h"
#include "tests/support/module_runner.h"

using namespace krtest;
using gfxtest::Picture;

namespace {

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    if (access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// An Xvfb server (1280 x 1024 unless told) at depth 24 on a free display number.
class XServer {
 public:
  explicit XServer(const char* size = "1280x1024x24") {
    for (int n = 91; n < 191 && display_ < 0; ++n)
      if (!exists("/tmp/.X11-unix/X" + std::to_string(n)) && !exists("/tmp/.X" + std::to_string(n) + "-lock"))
        display_ = n;
    if (display_ < 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      std::string name = ":" + std::to_string(display_);
      int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 1);
      dup2(devnull, 2);
      execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", size, "-nolisten", "tcp", nullptr);
      _exit(127);
    }
    std::string socket = "/tmp/.X11-unix/X" + std::to_string(display_);
    for (int i = 0; i < 100 && !exists(socket); ++i) usleep(50000);
    ready_ = exists(socket);
  }
  ~XServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ready() const { return ready_; }
  std::string display() const { return ":" + std::to_string(display_); }

 private:
  int display_ = -1;
  pid_t pid_ = -1;
  bool ready_ = false;
};

// Every channel equal, or within the rounding of 5- and 6-bit channels widened to 8.
bool sameColour(std::uint32_t shown, std::uint32_t stored, int tolerance) {
  for (int shift : {0, 8, 16}) {
    int a = (shown >> shift) & 0xFF, b = (stored >> shift) & 0xFF;
    if (a < b || a - b > tolerance) return false;
  }
  return true;
}

// Compares the shown region (x0, y0, scale) of a capture with a saved canvas,
// and the rest of the capture with black when borders are expected.
std::string compare(const Picture& shown, const Picture& canvas, int x0, int y0, int scale, int tolerance,
                    bool blackBorders) {
  int bad = 0;
  std::string first;
  for (int y = 0; y < shown.height; ++y)
    for (int x = 0; x < shown.width; ++x) {
      int cx = (x - x0) / scale, cy = (y - y0) / scale;
      bool inside = x >= x0 && y >= y0 && cx < canvas.width && cy < canvas.height;
      if (!inside && !blackBorders) continue;
      std::uint32_t want = inside ? canvas.at(cx, cy) : 0;
      if (!sameColour(shown.at(x, y), want, tolerance) && bad++ == 0) {
        char text[96];
        std::snprintf(text, sizeof text, "first at %d,%d: shown %06X, canvas %06X", x, y, shown.at(x, y), want);
        first = text;
      }
    }
  return bad ? std::to_string(bad) + " pixels differ, " + first : "";
}

class XvfbDisplay : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!onPath("Xvfb") || !onPath("xwd")) return;
    server_ = new XServer;
    if (!server_->ready()) return;
    dir_ = new TempDir;
    RunOptions options;
    options.workDir = dir_->path();
    options.env = {"DISPLAY=" + server_->display(), "SDL_VIDEODRIVER=x11"};
    options.timeoutMs = 60000;
    run_ = new RunResult(runModule("gfx_capture", options));
  }
  static void TearDownTestSuite() {
    delete run_;
    delete dir_;
    delete server_;
    run_ = nullptr, dir_ = nullptr, server_ = nullptr;
  }
  void SetUp() override {
    if (!onPath("Xvfb") || !onPath("xwd")) GTEST_SKIP() << "Xvfb or xwd is not installed";
    ASSERT_TRUE(server_ && server_->ready()) << "Xvfb did not start";
    ASSERT_TRUE(run_->errContains("debugInfo: Program has ended")) << run_->err;
  }
  static Picture saved(const std::string& name) { return gfxtest::readBmp(dir_->file(name + ".bmp")); }
  static Picture captured(const std::string& name) { return gfxtest::readXwd(dir_->file(name + ".xwd")); }

  static XServer* server_;
  static TempDir* dir_;
  static RunResult* run_;
};

XServer* XvfbDisplay::server_ = nullptr;
TempDir* XvfbDisplay::dir_ = nullptr;
RunResult* XvfbDisplay::run_ = nullptr;

TEST_F(XvfbDisplay, FixedWindowShowsTheCanvasOneToOne) {
  Picture canvas = saved("fixed"), shown = captured("fixed");
  ASSERT_TRUE(canvas.valid() && shown.valid());
  ASSERT_EQ(shown.width, 80);
  ASSERT_EQ(shown.height, 60);
  EXPECT_EQ(compare(shown, canvas, 0, 0, 1, 0, true), "");
}

TEST_F(XvfbDisplay, FrontBufferDrawingShowsWithoutAFlip) {
  Picture canvas = saved("front"), shown = captured("front");
  ASSERT_TRUE(canvas.valid() && shown.valid());
  EXPECT_EQ(canvas.at(0, 0), 0x0AC81Eu);
  EXPECT_EQ(compare(shown, canvas, 0, 0, 1, 0, true), "");
}

TEST_F(XvfbDisplay, FrontBufferDrawingShowsAtTheNextFlip) {
  Picture canvas = saved("front_flip"), shown = captured("front_flip");
  ASSERT_TRUE(canvas.valid() && shown.valid());
  EXPECT_EQ(canvas.at(0, 0), 0xC80A0Au);
  EXPECT_EQ(compare(shown, canvas, 0, 0, 1, 0, true), "");
}

TEST_F(XvfbDisplay, FrontBufferDrawingAfterAFlipWithNothingNewStillShows) {
  Picture canvas = saved("front_timer"), shown = captured("front_timer");
  ASSERT_TRUE(canvas.valid() && shown.valid());
  EXPECT_EQ(canvas.at(0, 0), 0x0A78C8u);
  EXPECT_EQ(compare(shown, canvas, 0, 0, 1, 0, true), "");
}

TEST_F(XvfbDisplay, ScaledWindowStretchesTheCanvasOverItsClientArea) {
  // The window kept the 160 x 120 of the mode before: every pixel shows as 2 x 2.
  Picture canvas = saved("scaled"), shown = captured("scaled");
  ASSERT_TRUE(canvas.valid() && shown.valid());
  ASSERT_EQ(shown.width, 160);
  ASSERT_EQ(shown.height, 120);
  EXPECT_EQ(compare(shown, canvas, 0, 0, 2, 0, true), "");
}

TEST_F(XvfbDisplay, FullScreenScalesToFitBetweenBlackBorders) {
  // 80 x 60 on 1280 x 1024: 16 times, 960 rows high, 32 black rows above and below.
  for (const char* name : {"full16", "full32"}) {
    SCOPED_TRACE(name);
    Picture canvas = saved(name), shown = captured(name);
    ASSERT_TRUE(canvas.valid() && shown.valid());
    ASSERT_EQ(shown.width, 1280);
    ASSERT_EQ(shown.height, 1024);
    int tolerance = std::string(name) == "full16" ? 7 : 0;
    EXPECT_EQ(compare(shown, canvas, 0, 32, 16, tolerance, true), "");
  }
  // The 16-bit canvas really holds 5-6-5 colours.
  EXPECT_EQ(saved("full16").at(2, 2), 0xF8FCF8u);
  EXPECT_EQ(saved("full32").at(2, 2), 0xFFFFFFu);
}

// The geometry "WxH+X+Y" that xwininfo -tree gives for the window named
// title, or "" when no window has that name.
std::string windowGeometry(const std::string& tree, const std::string& title) {
  std::size_t at = tree.find("\"" + title + "\":");
  if (at == std::string::npos) return "";
  std::size_t end = tree.find('\n', at);
  std::string line = tree.substr(at, end - at);
  std::size_t start = line.find(")  ");
  if (start == std::string::npos) return "";
  start += 3;
  return line.substr(start, line.find(' ', start) - start);
}

// A window on a 1024 x 768 screen with no window manager to place it.
TEST(XvfbWindow, ShowsCentredAndStaysOnScreenWithItsTitleInUtf8) {
  if (!onPath("Xvfb") || !onPath("xwininfo")) GTEST_SKIP() << "Xvfb or xwininfo is not installed";
  XServer server("1024x768x24");
  ASSERT_TRUE(server.ready());
  TempDir dir;
  RunOptions options;
  options.workDir = dir.path();
  options.env = {"DISPLAY=" + server.display(), "SDL_VIDEODRIVER=x11"};
  options.timeoutMs = 60000;
  RunResult r = runModule("gfx_window_place", options);
  ASSERT_TRUE(r.errContains("debugInfo: Program has ended")) << r.err;
  const std::string title = "Korrin Runtime Window";
  EXPECT_EQ(windowGeometry(readFile(dir.file("first.txt")), title), "640x480+192+144");
  // Larger: still centred where it was, so whole on the screen.
  EXPECT_EQ(windowGeometry(readFile(dir.file("larger.txt")), title), "1000x700+12+34");
  // A scaled window keeps the size and place it has.
  EXPECT_EQ(windowGeometry(readFile(dir.file("scaled.txt")), title), "1000x700+12+34");
  // "Caf\xe9 Menu \x80" in Windows-1252.
  EXPECT_EQ(windowGeometry(readFile(dir.file("title.txt")), "Caf\u00e9 Menu \u20ac"), "1000x700+12+34");
}

}  // namespace
