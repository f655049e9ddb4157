#include "graphics/graphics_device.h"

#include <time.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <climits>
#include <system_error>

namespace kr {

namespace {

constexpr int kDefaultRefreshHz = 60;
constexpr auto kRefreshTick = std::chrono::milliseconds(100);

Uint32 gRepaintEvent = 0;  // posted by the refresh timer, served on the main thread

Uint32 repaintEventType() {
  if (!gRepaintEvent) {
    Uint32 type = SDL_RegisterEvents(1);
    if (type != static_cast<Uint32>(-1)) gRepaintEvent = type;
  }
  return gRepaintEvent;
}

int windowDisplay(SDL_Window* window) {
  int index = window ? SDL_GetWindowDisplayIndex(window) : 0;
  return index < 0 ? 0 : index;
}

// A window shows canvases in the desktop's own depth (its storage size).
int desktopDepth(SDL_Window* window) {
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(windowDisplay(window), &mode) != 0) return 32;
  switch (SDL_BYTESPERPIXEL(mode.format)) {
    case 2:
      return 16;
    case 3:
      return 24;
    default:
      return 32;
  }
}

Uint32 textureFormat(int depth) {
  switch (depth) {
    case 16:
      return SDL_PIXELFORMAT_RGB565;
    case 24:
      return SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red: the 8-8-8 store
    default:
      return SDL_PIXELFORMAT_RGB888;
  }
}

void sleepUntilNs(std::int64_t deadline) {
  timespec ts{static_cast<time_t>(deadline / 1000000000), static_cast<long>(deadline % 1000000000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != 0) {
  }
}

}  // namespace

std::int64_t monotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// ---- modes ----

std::vector<GraphicsMode> listDisplayModes() {
  static const int kStandard[][2] = {{640, 480},   {800, 600},  {1024, 768}, {1280, 720},
                                     {1280, 1024}, {1366, 768}, {1600, 900}, {1920, 1080}};
  std::vector<std::pair<int, int>> sizes;
  auto add = [&](int w, int h) {
    if (w > 0 && h > 0 && std::find(sizes.begin(), sizes.end(), std::make_pair(w, h)) == sizes.end())
      sizes.emplace_back(w, h);
  };
  SDL_DisplayMode mode;
  int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i)
    if (SDL_GetDisplayMode(0, i, &mode) == 0) add(mode.w, mode.h);
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0)
    for (const auto& s : kStandard)
      if (s[0] <= mode.w && s[1] <= mode.h) add(s[0], s[1]);
  std::vector<GraphicsMode> modes;
  for (const auto& s : sizes)
    for (int depth : {16, 24, 32}) modes.push_back(GraphicsMode{s.first, s.second, depth});
  return modes;
}

// ---- presentation geometry ----

SDL_Rect presentationRect(DisplayKind kind, int canvasW, int canvasH, int outW, int outH) {
  if (kind == DisplayKind::ScaledWindow) return SDL_Rect{0, 0, outW, outH};
  if (kind == DisplayKind::FullScreen) {
    // Fit by the tighter side, in integers: w / h kept.
    std::int64_t w = outW, h = static_cast<std::int64_t>(outW) * canvasH / canvasW;
    if (h > outH) h = outH, w = static_cast<std::int64_t>(outH) * canvasW / canvasH;
    return SDL_Rect{static_cast<int>((outW - w) / 2), static_cast<int>((outH - h) / 2), static_cast<int>(w),
                    static_cast<int>(h)};
  }
  return SDL_Rect{0, 0, std::min(canvasW, outW), std::min(canvasH, outH)};
}

void outputToCanvas(DisplayKind kind, int canvasW, int canvasH, int outW, int outH, int x, int y, int* cx, int* cy) {
  std::int64_t px = x, py = y;
  SDL_Rect shown = presentationRect(kind, canvasW, canvasH, outW, outH);
  if (kind != DisplayKind::FixedWindow && shown.w > 0 && shown.h > 0) {
    px = (px - shown.x) * canvasW / shown.w;
    py = (py - shown.y) * canvasH / shown.h;
    if (x < shown.x) px = -1;  // left of the picture: division truncated toward 0
    if (y < shown.y) py = -1;
  }
  *cx = static_cast<int>(std::clamp<std::int64_t>(px, 0, canvasW - 1));
  *cy = static_cast<int>(std::clamp<std::int64_t>(py, 0, canvasH - 1));
}

static std::int64_t divideRoundingUp(std::int64_t a, std::int64_t b) { return a >= 0 ? (a + b - 1) / b : -(-a / b); }

void canvasToOutput(DisplayKind kind, int canvasW, int canvasH, int outW, int outH, int x, int y, int* ox, int* oy) {
  std::int64_t px = x, py = y;
  SDL_Rect shown = presentationRect(kind, canvasW, canvasH, outW, outH);
  if (kind != DisplayKind::FixedWindow && canvasW > 0 && canvasH > 0) {
    // Rounded up: the first output pixel that maps back to (x, y).
    px = shown.x + divideRoundingUp(px * shown.w, canvasW);
    py = shown.y + divideRoundingUp(py * shown.h, canvasH);
  }
  *ox = static_cast<int>(std::clamp<std::int64_t>(px, INT_MIN, INT_MAX));
  *oy = static_cast<int>(std::clamp<std::int64_t>(py, INT_MIN, INT_MAX));
}

// ---- opening and closing ----

bool GraphicsDevice::displayExists() { return SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetNumVideoDisplays() > 0; }

GraphicsDevice* GraphicsDevice::open(HostRuntime& host, int width, int height, int depth, DisplayKind kind) {
  if (width < 1 || height < 1 || width > Canvas::kMaxSide || height > Canvas::kMaxSide) return nullptr;
  if (kind == DisplayKind::None) return nullptr;
  host.setBusy(true);
  auto* device = new GraphicsDevice(host, kind);
  if (!device->start(width, height, depth)) {
    delete device;
    device = nullptr;
  }
  host.setBusy(false);
  return device;
}

bool GraphicsDevice::start(int width, int height, int depth) {
  SDL_Window* window = host_.window();
  if (!window || !repaintEventType()) return false;
  if (kind_ == DisplayKind::FullScreen) {
    // Every depth offers the same fills, copies and colour keys, so depth 0
    // settles on the first one tried.
    if (depth == 0) depth = 16;
    if (depth != 16 && depth != 24 && depth != 32) return false;
  } else {
    depth = desktopDepth(window);
  }
  if (!makeCanvases(width, height, depth) || !showWindow(window, width, height)) return false;
  host_.setDisplayKind(kind_);
  if (!makeRenderer(depth)) return false;
  measureRefresh(window);
  front_->clear();
  back_->clear();
  present();
  startRefreshTimer();
  return true;
}

// A window's front and back canvas share one store; full screen has two.
bool GraphicsDevice::makeCanvases(int width, int height, int depth) {
  PixelFormat format = PixelFormat::forDepth(depth);
  auto frontStore = PixelStore::create(width, height, format);
  if (!frontStore) return false;
  auto backStore = kind_ == DisplayKind::FullScreen ? PixelStore::create(width, height, format) : frontStore;
  if (!backStore) return false;
  front_ = std::make_unique<Canvas>(this, frontStore);
  back_ = std::make_unique<Canvas>(this, backStore);
  return true;
}

bool GraphicsDevice::showWindow(SDL_Window* window, int width, int height) {
  if (kind_ == DisplayKind::FullScreen) return coverDesktop(window);
  bool neverShown = SDL_GetWindowFlags(window) & SDL_WINDOW_HIDDEN;
  SDL_Rect before;
  SDL_GetWindowPosition(window, &before.x, &before.y);
  SDL_GetWindowSize(window, &before.w, &before.h);
  SDL_SetWindowResizable(window, kind_ == DisplayKind::ScaledWindow ? SDL_TRUE : SDL_FALSE);
  // A scaled window keeps the size it has; one never shown gets the canvas size.
  SDL_Rect after{0, 0, before.w, before.h};
  if (kind_ == DisplayKind::FixedWindow || neverShown) {
    after.w = width, after.h = height;
    SDL_SetWindowSize(window, width, height);
  }
  placeWindow(window, neverShown ? nullptr : &before, after);
  SDL_ShowWindow(window);
  // The system may map the window where it last knew it; once SDL has heard
  // where it really is, place it again.
  SDL_PumpEvents();
  SDL_SetWindowPosition(window, after.x, after.y);
  return true;
}

// The host's window starts as a hidden 1 x 1 placeholder, so its first showing
// is centred here by the size it is given, not left to the window system
// (which centres by the size it knew last). Later it keeps its centre as its
// size changes, moved back whole onto the desktop where it would hang over.
void GraphicsDevice::placeWindow(SDL_Window* window, const SDL_Rect* before, SDL_Rect& after) {
  SDL_Rect desktop;
  int display = windowDisplay(window);
  if (SDL_GetDisplayUsableBounds(display, &desktop) != 0 && SDL_GetDisplayBounds(display, &desktop) != 0)
    desktop = SDL_Rect{0, 0, after.w, after.h};
  const SDL_Rect& around = before ? *before : desktop;
  after.x = around.x + (around.w - after.w) / 2;
  after.y = around.y + (around.h - after.h) / 2;
  after.x = std::min(after.x, desktop.x + desktop.w - after.w);
  after.y = std::min(after.y, desktop.y + desktop.h - after.h);
  // A window larger than the desktop shows its top-left corner.
  after.x = std::max(after.x, desktop.x);
  after.y = std::max(after.y, desktop.y);
  SDL_SetWindowPosition(window, after.x, after.y);
}

void GraphicsDevice::measureRefresh(SDL_Window* window) {
  SDL_DisplayMode mode;
  int hz = kDefaultRefreshHz;
  scanLines_ = front_->height();
  if (SDL_GetDesktopDisplayMode(windowDisplay(window), &mode) == 0) {
    if (mode.refresh_rate > 0) hz = mode.refresh_rate;
    if (mode.h > 0) scanLines_ = mode.h;
  }
  refreshNs_ = 1000000000 / hz;
  epochNs_ = monotonicNs();
}

// A borderless window over the whole desktop, then full screen for the window
// manager's sake: without one (a bare X server) the window still covers the screen.
bool GraphicsDevice::coverDesktop(SDL_Window* window) {
  SDL_GetWindowPosition(window, &saved_.x, &saved_.y);
  SDL_GetWindowSize(window, &saved_.w, &saved_.h);
  savedFlags_ = SDL_GetWindowFlags(window);
  SDL_Rect desktop;
  if (SDL_GetDisplayBounds(windowDisplay(window), &desktop) != 0) return false;
  coveringDesktop_ = true;
  SDL_SetWindowBordered(window, SDL_FALSE);
  SDL_SetWindowResizable(window, SDL_TRUE);
  SDL_SetWindowPosition(window, desktop.x, desktop.y);
  SDL_SetWindowSize(window, desktop.w, desktop.h);
  SDL_ShowWindow(window);
  return SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
}

void GraphicsDevice::restoreWindow(SDL_Window* window) {
  SDL_SetWindowFullscreen(window, 0);
  SDL_SetWindowBordered(window, (savedFlags_ & SDL_WINDOW_BORDERLESS) ? SDL_FALSE : SDL_TRUE);
  SDL_SetWindowResizable(window, (savedFlags_ & SDL_WINDOW_RESIZABLE) ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowSize(window, saved_.w, saved_.h);
  SDL_SetWindowPosition(window, saved_.x, saved_.y);
}

bool GraphicsDevice::makeRenderer(int depth) {
  SDL_Window* window = host_.window();
  // With no screen behind the window, SDL's software renderer does the same job
  // without loading a GL driver (faster start, far less memory).
  const char* video = SDL_GetCurrentVideoDriver();
  bool headless = video && (!std::strcmp(video, "offscreen") || !std::strcmp(video, "dummy"));
  if (headless) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (!headless) renderer_ = SDL_CreateRenderer(window, -1, 0);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer_) return false;
  setVsync(false);
  texture_ = SDL_CreateTexture(renderer_, textureFormat(depth), SDL_TEXTUREACCESS_STREAMING, front_->width(),
                               front_->height());
  if (!texture_) return false;
  SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
  return true;
}

GraphicsDevice::~GraphicsDevice() {
  host_.setBusy(true);
  stopRefreshTimer();
  for (Canvas* c : canvases_) delete c;
  canvases_.clear();
  back_.reset();
  front_.reset();
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (coveringDesktop_ && host_.window()) restoreWindow(host_.window());
  host_.setDisplayKind(DisplayKind::None);
  host_.setBusy(false);
}

// ---- canvases ----

Canvas* GraphicsDevice::createCanvas(int width, int height) {
  auto store = PixelStore::create(width, height, front_->format());
  if (!store) return nullptr;
  auto* canvas = new Canvas(this, std::move(store));
  canvases_.insert(canvas);
  // The store comes zeroed and a new canvas clears to black: no second fill.
  return canvas;
}

void GraphicsDevice::freeCanvas(Canvas* canvas) {
  if (canvases_.erase(canvas)) delete canvas;
}

Canvas* GraphicsDevice::find(int handle) const {
  if (handle == front_->handle()) return front_.get();
  if (handle == back_->handle()) return back_.get();
  auto* candidate = fromHandle<Canvas>(handle);
  return canvases_.count(candidate) ? candidate : nullptr;
}

// ---- presentation ----

void GraphicsDevice::setVsync(bool on) {
  if (vsync_ == static_cast<int>(on)) return;
  vsync_ = on;
  SDL_RenderSetVSync(renderer_, on ? 1 : 0);
}

void GraphicsDevice::present() {
  if (!renderer_ || !texture_) return;
  const Canvas& f = *front_;
  lastShown_ = f.modificationCount();
  SDL_UpdateTexture(texture_, nullptr, f.pixels(), f.pitch());
  int windowW = 0, windowH = 0, outW = 0, outH = 0;
  SDL_GetWindowSize(host_.window(), &windowW, &windowH);
  SDL_GetRendererOutputSize(renderer_, &outW, &outH);
  if (windowW < 1 || windowH < 1) windowW = outW, windowH = outH;
  if (windowW < 1 || windowH < 1) return;
  // Layout in window units, drawn in output pixels (more of them on high-DPI screens).
  SDL_Rect shown = presentationRect(kind_, f.width(), f.height(), windowW, windowH);
  SDL_Rect source{0, 0, f.width(), f.height()};
  if (kind_ == DisplayKind::FixedWindow) source.w = shown.w, source.h = shown.h;
  SDL_Rect target{static_cast<int>(static_cast<std::int64_t>(shown.x) * outW / windowW),
                  static_cast<int>(static_cast<std::int64_t>(shown.y) * outH / windowH),
                  static_cast<int>(static_cast<std::int64_t>(shown.w) * outW / windowW),
                  static_cast<int>(static_cast<std::int64_t>(shown.h) * outH / windowH)};
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, &source, &target);
  SDL_RenderPresent(renderer_);
}

void GraphicsDevice::flip(bool waitForBlank) {
  host_.pumpMessages();
  bool show;
  if (kind_ == DisplayKind::FullScreen) {
    front_->exchangePixels(*back_);
    show = true;
  } else {
    // Front drawing not yet shown counts as well as back drawing since the last flip.
    std::uint32_t backCount = back_->modificationCount();
    show = front_->modificationCount() != lastShown_ || backCount != lastFlippedBack_;
    lastFlippedBack_ = backCount;
    front_->setModificationCount(backCount);
    // The screen is up to date: take the new count as shown, or the refresh
    // timer would miss front drawing that brings the count back to an old value.
    if (!show) lastShown_ = backCount;
  }
  if (waitForBlank) {
    if (show) {
      setVsync(true);
      present();
    }
    // Synced presents come a refresh period apart. Sooner means the renderer
    // did not wait (no display sync there), so the clock paces instead.
    std::int64_t now = monotonicNs();
    if (!show || now - lastSyncedFlipNs_ < refreshNs_ * 3 / 4) {
      sleepUntilNs(nextBlankNs());
      now = monotonicNs();
    }
    lastSyncedFlipNs_ = now;
  } else if (show) {
    setVsync(false);
    present();
  }
  host_.pumpMessages();
}

std::int64_t GraphicsDevice::nextBlankNs() const {
  std::int64_t now = monotonicNs();
  return now + refreshNs_ - (now - epochNs_) % refreshNs_;
}

void GraphicsDevice::verticalWait() { sleepUntilNs(nextBlankNs()); }

// The beam position on the clock: each period starts with a blank of one
// twentieth of the lines, during which the scan line reads 0.
int GraphicsDevice::scanLine() const {
  std::int64_t phase = (monotonicNs() - epochNs_) % refreshNs_;
  std::int64_t blankLines = scanLines_ / 20 + 1;
  std::int64_t line = phase * (scanLines_ + blankLines) / refreshNs_ - blankLines;
  return line < 0 ? 0 : static_cast<int>(line);
}

void GraphicsDevice::windowToCanvas(int x, int y, int* cx, int* cy) const {
  int w = 0, h = 0;
  SDL_GetWindowSize(host_.window(), &w, &h);
  if (w < 1 || h < 1) w = front_->width(), h = front_->height();
  outputToCanvas(kind_, front_->width(), front_->height(), w, h, x, y, cx, cy);
}

void GraphicsDevice::moveMouse(int x, int y) {
  int w = 0, h = 0, wx, wy;
  SDL_GetWindowSize(host_.window(), &w, &h);
  if (w < 1 || h < 1) w = front_->width(), h = front_->height();
  canvasToOutput(kind_, front_->width(), front_->height(), w, h, x, y, &wx, &wy);
  SDL_WarpMouseInWindow(host_.window(), wx, wy);
}

// ---- events ----

void GraphicsDevice::onEvent(const SDL_Event& event) {
  if (event.type == gRepaintEvent) {
    repaintPending_ = false;
    present();
    return;
  }
  switch (event.type) {
    case SDL_WINDOWEVENT:
      if (event.window.windowID != SDL_GetWindowID(host_.window())) return;
      if (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
          event.window.event == SDL_WINDOWEVENT_RESTORED)
        present();
      return;
    case SDL_RENDER_DEVICE_RESET:
      // Textures are gone with the device: make a new one of the same kind.
      if (texture_) {
        Uint32 format;
        int access, w, h;
        SDL_QueryTexture(texture_, &format, &access, &w, &h);
        SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, format, access, w, h);
        if (texture_) SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
      }
      present();
      return;
    case SDL_RENDER_TARGETS_RESET:
      present();
      return;
    default:
      return;
  }
}

// Canvases live in ordinary memory and survive focus loss; the screen needs
// painting again.
void GraphicsDevice::onResume() { present(); }

// ---- refresh timer ----

// Without the thread (no memory for its stack) the display still works: front
// buffer drawing then reaches the screen at the next Flip or exposure.
void GraphicsDevice::startRefreshTimer() {
  refreshStop_ = false;
  try {
    refreshThread_ = std::thread([this] { refreshLoop(); });
  } catch (const std::system_error&) {
  }
}

void GraphicsDevice::stopRefreshTimer() {
  if (!refreshThread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(refreshMutex_);
    refreshStop_ = true;
  }
  refreshWake_.notify_all();
  refreshThread_.join();
}

// Only compares counts and posts a repaint request: pixels and the renderer
// belong to the main thread.
void GraphicsDevice::refreshLoop() {
  auto deadline = std::chrono::steady_clock::now();
  std::unique_lock<std::mutex> lock(refreshMutex_);
  for (;;) {
    deadline += kRefreshTick;
    if (refreshWake_.wait_until(lock, deadline, [this] { return refreshStop_; })) return;
    std::uint32_t count = front_->modificationCount();
    if (count == lastShown_.load()) continue;
    lastShown_ = count;
    // One request at a time: a program that draws for long without serving its
    // window gets one repaint, of the latest pixels, not a queue of them.
    if (repaintPending_.exchange(true)) continue;
    SDL_Event e;
    SDL_zero(e);
    e.type = gRepaintEvent;
    SDL_PushEvent(&e);
  }
}

}  // namespace kr
