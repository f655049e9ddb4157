// GraphicsDevice: the open display. A window (fixed or scaled) whose front and
// back canvas share one pixel store, or a full-screen window with a real pair
// of canvases that Flip exchanges. Canvases reach the screen through an SDL
// texture, updated on the main thread only.
#pragma once
#include <SDL2/SDL.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

#include "graphics/canvas.h"
#include "graphics/display_kind.h"
#include "host/host_runtime.h"

namespace kr {

struct GraphicsMode {
  int width, height, depth;
};

// The display's modes: each resolution it reports, then the usual game
// resolutions that fit the desktop, each at depths 16, 24 and 32.
std::vector<GraphicsMode> listDisplayModes();

// Where a canvas of canvasW x canvasH is shown in an output of outW x outH.
// Fixed windows show it one to one from the top-left; scaled windows stretch
// it over the output; full screen scales it to fit with its aspect ratio kept,
// centred between black borders.
SDL_Rect presentationRect(DisplayKind kind, int canvasW, int canvasH, int outW, int outH);
// Maps a point of the output back to the canvas pixel under it, clamped to the canvas.
void outputToCanvas(DisplayKind kind, int canvasW, int canvasH, int outW, int outH, int x, int y, int* cx, int* cy);
// The output position showing canvas pixel (x, y), so that outputToCanvas
// gives the pixel back wherever the picture is shown enlarged.
void canvasToOutput(DisplayKind kind, int canvasW, int canvasH, int outW, int outH, int x, int y, int* ox, int* oy);

class GraphicsDevice : public Driver {
 public:
  // Null (with nothing left behind) when the display cannot be opened.
  static GraphicsDevice* open(HostRuntime& host, int width, int height, int depth, DisplayKind kind);
  // True when the video system runs and reports at least one display.
  static bool displayExists();
  ~GraphicsDevice() override;

  Canvas* front() const { return front_.get(); }
  Canvas* back() const { return back_.get(); }
  DisplayKind kind() const { return kind_; }

  // Canvases made on this device, freed when it closes.
  Canvas* createCanvas(int width, int height);
  void freeCanvas(Canvas* canvas);  // unknown canvases are left alone
  // The canvas behind a buffer handle (front, back or registered), or null.
  Canvas* find(int handle) const;

  void flip(bool waitForBlank);
  void verticalWait();
  int scanLine() const;
  // Maps a window position (as SDL events give it) to canvas pixels.
  void windowToCanvas(int x, int y, int* cx, int* cy) const;
  // Puts the mouse pointer over canvas pixel (x, y).
  void moveMouse(int x, int y);

  void onEvent(const SDL_Event& event) override;
  void onResume() override;

 private:
  GraphicsDevice(HostRuntime& host, DisplayKind kind) : host_(host), kind_(kind) {}
  bool start(int width, int height, int depth);
  bool coverDesktop(SDL_Window* window);
  void restoreWindow(SDL_Window* window);
  bool makeCanvases(int width, int height, int depth);
  bool showWindow(SDL_Window* window, int width, int height);
  static void placeWindow(SDL_Window* window, const SDL_Rect* before, SDL_Rect& after);
  bool makeRenderer(int depth);
  void measureRefresh(SDL_Window* window);
  void present();
  void startRefreshTimer();
  void stopRefreshTimer();
  void refreshLoop();
  void setVsync(bool on);
  std::int64_t nextBlankNs() const;

  HostRuntime& host_;
  DisplayKind kind_;
  std::unique_ptr<Canvas> front_, back_;
  std::unordered_set<Canvas*> canvases_;
  bool coveringDesktop_ = false;
  SDL_Rect saved_{};  // the window before full screen
  Uint32 savedFlags_ = 0;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int vsync_ = -1;  // renderer setting: -1 unknown, 0 off, 1 on
  bool vsyncWorks_ = false;
  std::int64_t refreshNs_ = 0;  // display refresh period
  std::int64_t epochNs_ = 0;    // a vertical blank began here
  int scanLines_ = 0;
  std::atomic<std::uint32_t> lastShown_{0};
  std::atomic<bool> repaintPending_{false};
  std::uint32_t lastFlippedBack_ = 0;
  std::int64_t lastSyncedFlipNs_ = 0;

  std::thread refreshThread_;
  std::mutex refreshMutex_;
  std::condition_variable refreshWake_;
  bool refreshStop_ = false;
};

std::int64_t monotonicNs();

}  // namespace kr
