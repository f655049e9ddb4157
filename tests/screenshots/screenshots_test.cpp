// The README's screenshots: the demo game shows its title and plays an attract
// round in a real X window on Xvfb, and the window's pixels are read back from
// the X server at fixed moments (the game is stopped with SIGSTOP while it is
// captured). Each capture is compared with docs/screenshots/NAME.png block by
// block, allowing the few blocks that a few frames either way change, so the
// committed pictures stay true; KR_UPDATE_SCREENSHOTS=1 writes the captures
// there instead. Every capture is also left in build/screenshots/ to look at.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>

#include "tests/support/module_runner.h"
#include "tests/support/xvfb_server.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace krtest;

namespace {

using Clock = std::chrono::steady_clock;

// The README's pictures: a name (docs/screenshots/NAME.png), when to take it
// (milliseconds after the window appeared) and the share of its blocks that may
// differ from the committed picture. The settings fix the game's course: the
// title screen (still but for a blinking line) for four seconds, then an
// attract round, whose rocks are a few frames further or behind from run to
// run (about 4% of the blocks; the title screen differs from it in 14%).
struct Shot {
  const char* name;
  int afterMs;
  double allowance;
};
const Shot kShots[] = {{"title", 2000, 0.02}, {"play", 12000, 0.08}};
const char kSettings[] = "seed=3\ntitle_seconds=4\nround_seconds=60\nassets=" KR_BUILD_DIR "/korrin-demo-assets\n";


struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> rgb;  // 0xRRGGBB, row by row
  std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
};

bool savePng(const Picture& p, const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = p.width;
  image.height = p.height;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes;
  bytes.reserve(p.rgb.size() * 3);
  for (std::uint32_t c : p.rgb)
    for (int shift : {16, 8, 0}) bytes.push_back(static_cast<png_byte>(c >> shift));
  return png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

bool loadPng(const std::string& path, Picture* p) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return false;
  p->width = static_cast<int>(image.width);
  p->height = static_cast<int>(image.height);
  p->rgb.clear();
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3)
    p->rgb.push_back(std::uint32_t(bytes[i]) << 16 | std::uint32_t(bytes[i + 1]) << 8 | bytes[i + 2]);
  return true;
}

// ---- comparing pictures in blocks, so a few frames either way still match ----

constexpr int kBlock = 16;
constexpr int kBlockTolerance = 12;  // of a block's mean red, green or blue

// Mean colour of each kBlock x kBlock block, row by row, as r, g, b.
std::vector<double> blockMeans(const Picture& p) {
  int columns = p.width / kBlock, rows = p.height / kBlock;
  std::vector<double> means(static_cast<std::size_t>(columns) * rows * 3, 0.0);
  for (int y = 0; y < rows * kBlock; ++y)
    for (int x = 0; x < columns * kBlock; ++x) {
      std::uint32_t c = p.at(x, y);
      std::size_t at = (static_cast<std::size_t>(y / kBlock) * columns + x / kBlock) * 3;
      means[at] += (c >> 16) & 255;
      means[at + 1] += (c >> 8) & 255;
      means[at + 2] += c & 255;
    }
  for (double& m : means) m /= kBlock * kBlock;
  return means;
}

// Empty when the capture shows what the reference shows: the same size, and
// at most `allowance` (a share) of its blocks in another colour, else why not.
std::string differences(const Picture& shot, const Picture& reference, double allowance) {
  if (shot.width != reference.width || shot.height != reference.height)
    return "size " + std::to_string(shot.width) + "x" + std::to_string(shot.height) + ", committed " +
           std::to_string(reference.width) + "x" + std::to_string(reference.height);
  std::vector<double> a = blockMeans(shot), b = blockMeans(reference);
  std::size_t blocks = a.size() / 3, differing = 0, first = blocks;
  for (std::size_t i = 0; i < blocks; ++i)
    for (int k = 0; k < 3; ++k)
      if (std::fabs(a[i * 3 + k] - b[i * 3 + k]) > kBlockTolerance) {
        if (differing++ == 0) first = i;
        break;
      }
  if (differing <= allowance * static_cast<double>(blocks)) return "";
  int columns = shot.width / kBlock;
  return std::to_string(differing) + " of " + std::to_string(blocks) + " blocks differ, the first at " +
         std::to_string(static_cast<int>(first) % columns * kBlock) + "," +
         std::to_string(static_cast<int>(first) / columns * kBlock);
}

int distinctColours(const Picture& p) {
  return static_cast<int>(std::set<std::uint32_t>(p.rgb.begin(), p.rgb.end()).size());
}

// ---- the game in its window ----

class Game {
 public:
  Game(const std::vector<std::string>& argv, const std::string& display, const std::string& workDir) {
    int err[2];
    if (pipe(err) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(err[1], 2);
      ::close(err[0]);
      ::close(err[1]);
      int devnull = open("/dev/null", O_RDWR);
      dup2(devnull, 0);
      dup2(devnull, 1);
      if (chdir(workDir.c_str()) != 0) _exit(126);
      setenv("DISPLAY", display.c_str(), 1);
      setenv("SDL_VIDEODRIVER", "x11", 1);
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      setenv("ALSOFT_DRIVERS", "null", 1);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    ::close(err[1]);
    err_ = err[0];
    fcntl(err_, F_SETFL, O_NONBLOCK);
  }
  ~Game() {
    if (pid_ > 0) {
      kill(pid_, SIGCONT);
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (err_ >= 0) ::close(err_);
  }
  pid_t pid() const { return pid_; }
  const std::string& err() {
    char buffer[4096];
    ssize_t n;
    while (err_ >= 0 && (n = read(err_, buffer, sizeof buffer)) > 0) text_.append(buffer, static_cast<std::size_t>(n));
    return text_;
  }
  bool running() const { return pid_ > 0 && kill(pid_, 0) == 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  // The close request, as closing the window; the exit code, or -1.
  int close() {
    kill(pid_, SIGCONT);
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(100000);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int err_ = -1;
  std::string text_;
};

// Windows come and go while they are looked at (SDL makes and drops helper
// windows): an error about one that went is no failure of the test.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

// The viewable top-level window of a process (by _NET_WM_PID), or 0.
Window windowOf(Display* display, pid_t pid) {
  Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
  if (pidAtom == None) return 0;
  Window root = DefaultRootWindow(display), parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                           &data) == Success && data && items == 1 &&
        static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
        found = children[i];
    }
    if (data) XFree(data);
  }
  if (children) XFree(children);
  return found;
}

bool capture(Display* display, Window window, Picture* p) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return false;
  XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
  if (!image) return false;
  p->width = attributes.width;
  p->height = attributes.height;
  p->rgb.resize(static_cast<std::size_t>(p->width) * p->height);
  for (int y = 0; y < p->height; ++y)
    for (int x = 0; x < p->width; ++x) p->rgb[static_cast<std::size_t>(y) * p->width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
  XDestroyImage(image);
  return true;
}

}  // namespace

TEST(Screenshots, TheDemoGameInARealWindowLooksAsTheReadmeShows) {
  if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb missing";
  XServer server("1024x768x24");
  ASSERT_TRUE(server.ready());
  Display* display = XOpenDisplay(server.display().c_str());
  ASSERT_NE(display, nullptr);
  XSetErrorHandler(ignoreXError);
  TempDir work;
  writeFile(work.file("demo.cfg"), kSettings);
  // A copy runs, so a build meanwhile can still re-pack the game; it finds the
  // runtime library and the decoder in the build tree through its run path.
  writeFile(work.file("korrin-demo"), readFile(buildPath("korrin-demo")));
  chmod(work.file("korrin-demo").c_str(), 0755);
  Game game({work.file("korrin-demo")}, server.display(), work.path());
  ASSERT_GT(game.pid(), 0);

  Window window = 0;
  for (auto until = Clock::now() + std::chrono::seconds(20); !window && Clock::now() < until; usleep(50000))
    window = windowOf(display, game.pid());
  ASSERT_NE(window, 0u) << "no window appeared\n" << game.err();
  Clock::time_point shown = Clock::now();

  bool update = std::getenv("KR_UPDATE_SCREENSHOTS") && std::string(std::getenv("KR_UPDATE_SCREENSHOTS")) == "1";
  mkdir(KR_BUILD_DIR "/screenshots", 0755);
  if (update) mkdir(KR_SOURCE_DIR "/docs/screenshots", 0755);
  for (const Shot& shot : kShots) {
    SCOPED_TRACE(shot.name);
    while (Clock::now() < shown + std::chrono::milliseconds(shot.afterMs) && game.running()) usleep(10000);
    ASSERT_TRUE(game.running()) << "the game ended before " << shot.name << "\n" << game.err();
    // Stopped, the game sends nothing more; what it sent is drawn once the
    // server has caught up, which a round trip of our own waits for.
    // The window first found may be one SDL drops when the game sets its
    // mode; a capture that fails looks for the game's window again.
    Picture picture;
    bool captured = false;
    for (int attempt = 0; attempt < 20 && !captured; ++attempt) {
      kill(game.pid(), SIGSTOP);
      usleep(100000);
      XSync(display, False);
      captured = capture(display, window, &picture);
      kill(game.pid(), SIGCONT);
      if (!captured) {
        usleep(100000);
        if (Window again = windowOf(display, game.pid())) window = again;
      }
    }
    ASSERT_TRUE(captured);
    EXPECT_TRUE(savePng(picture, std::string(KR_BUILD_DIR "/screenshots/") + shot.name + ".png"));
    // A black or nearly empty window is never what the README should show.
    ASSERT_GE(distinctColours(picture), 16) << "the window shows almost nothing";
    std::string committed = std::string(KR_SOURCE_DIR "/docs/screenshots/") + shot.name + ".png";
    if (update) {
      EXPECT_TRUE(savePng(picture, committed));
      continue;
    }
    Picture reference;
    ASSERT_TRUE(loadPng(committed, &reference)) << committed << " missing: run with KR_UPDATE_SCREENSHOTS=1";
    EXPECT_EQ(differences(picture, reference, shot.allowance), "")
        << "compare build/screenshots/" << shot.name << ".png with " << committed;
  }
  EXPECT_EQ(game.close(), 0) << game.err();
  XCloseDisplay(display);
}

TEST(Screenshots, TheComparisonToleratesTimingButNotAnotherPicture) {
  // A field of moving dots over a band: shifted a little, it is the same
  // picture; in another colour, or with the band changed, it is not.
  auto scene = [](int shift, std::uint32_t dot, std::uint32_t band) {
    Picture p;
    p.width = 320;
    p.height = 240;
    p.rgb.assign(320 * 240, 0x000010);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x) {
        if (((x + shift) % 16 < 4) && (y % 16 < 4)) p.rgb[y * 320 + x] = dot;
        if (y >= 208) p.rgb[y * 320 + x] = band;
      }
    return p;
  };
  Picture reference = scene(0, 0xFFCC00, 0x204080);
  EXPECT_EQ(differences(scene(5, 0xFFCC00, 0x204080), reference, 0.0), "");
  EXPECT_NE(differences(scene(0, 0x00CCFF, 0x204080), reference, 0.08), "");
  EXPECT_NE(differences(scene(0, 0xFFCC00, 0xFFFFFF), reference, 0.08), "");
  EXPECT_EQ(differences(scene(0, 0xFFCC00, 0xFFFFFF), reference, 0.15), "");  // the band is 2 rows of 15
  Picture smaller = reference;
  smaller.width = 160;
  smaller.rgb.resize(160 * 240);
  EXPECT_NE(differences(smaller, reference, 1.0), "");
}
