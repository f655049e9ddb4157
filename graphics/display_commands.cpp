// Display commands: drivers and modes, Graphics and EndGraphics, flipping and
// waiting for the vertical blank, the front and back buffers.
#include "graphics/graphics_commands.h"

#include "graphics/graphics_state.h"
#include "host/host_runtime.h"
#include "lang/kr_string.h"
#include "runtime/errors.h"

namespace kr {

namespace {

GraphicsState gState;
std::vector<void (*)()> gReleaseHooks;

constexpr int kVideoMemoryBudget = 256 << 20;

DisplayKind displayKindArgument(int mode) {
  DisplayKind kind;
  if (!displayKindForMode(mode, debugFlag != 0, &kind)) raiseRuntimeError("Illegal Graphics mode");
  return kind;
}

void closeDisplay() {
  GraphicsState& g = gState;
  if (!g.device) return;
  GraphicsDevice* device = g.device;
  g.device = nullptr;
  g.buffer = nullptr;
  currentHost()->closeDriver(DriverSlot::Graphics, device);
  currentHost()->pumpMessages();
}

bool openDisplay(int width, int height, int depth, int driverIndex, DisplayKind kind) {
  GraphicsState& g = gState;
  if (!g.haveDriver || driverIndex != 0) return false;
  HostRuntime& h = *currentHost();
  g.device = h.openDriver<GraphicsDevice>(DriverSlot::Graphics, [&] {
    return GraphicsDevice::open(h, width, height, depth, kind);
  });
  return g.device != nullptr;
}

// The state a freshly opened display starts drawing with.
void resetDrawingState(bool programMode) {
  GraphicsState& g = gState;
  g.colour = 0xFFFFFFFF;
  g.clearColour = 0;
  g.programMode = programMode;
  g.font = nullptr;
  selectBuffer(g.device->front());
}

void checkDriver(int driver) {
  int count = gState.haveDriver ? 1 : 0;
  if (debugFlag && (driver < 1 || driver > count)) raiseRuntimeError("Illegal graphics driver index");
}

const std::vector<GraphicsMode>& currentModes() {
  static const std::vector<GraphicsMode> none;
  return gState.driverIndex == 0 && gState.haveDriver ? gState.modes : none;
}

// The 1-based mode, or null (an error when debugging) outside the list.
const GraphicsMode* checkedMode(int mode) {
  const std::vector<GraphicsMode>& modes = currentModes();
  if (mode >= 1 && mode <= static_cast<int>(modes.size())) return &modes[mode - 1];
  if (debugFlag) raiseRuntimeError("Illegal graphics mode index");
  return nullptr;
}

}  // namespace

GraphicsState& graphicsState() { return gState; }

void addDisplayReleaseHook(void (*hook)()) { gReleaseHooks.push_back(hook); }

void releaseDisplayObjects() {
  for (auto hook : gReleaseHooks) hook();
}

Canvas* bufferArgument(int handle, bool checked) {
  GraphicsState& g = gState;
  if (handle == 0) return g.buffer;
  if (g.buffer && handle == g.buffer->handle()) return g.buffer;
  Canvas* canvas = g.device ? g.device->find(handle) : nullptr;
  if (!canvas && checked && debugFlag) raiseRuntimeError("Buffer does not exist");
  return canvas;
}

void selectBuffer(Canvas* canvas) {
  GraphicsState& g = gState;
  g.buffer = canvas;
  g.cursorX = g.cursorY = 0;
  canvas->resetView();
  canvas->setColour(g.colour);
  canvas->setClearColour(g.clearColour);
  canvas->setFont(g.font);
}

namespace gfx {

bool init() {
  GraphicsState& g = gState;
  g = GraphicsState();
  g.haveDriver = GraphicsDevice::displayExists();
  if (g.haveDriver) g.modes = listDisplayModes();
  releaseDisplayObjects();
  if (!openDisplay(400, 300, 0, 0, DisplayKind::FixedWindow)) return false;
  resetDrawingState(false);
  return true;
}

void shutdown() {
  releaseDisplayObjects();
  closeDisplay();
}

int countGfxDrivers() { return gState.haveDriver ? 1 : 0; }

krString* gfxDriverName(int driver) {
  checkDriver(driver);
  return krStringNew(driver == 1 && gState.haveDriver ? "display" : "");
}

void setGfxDriver(int driver) {
  checkDriver(driver);
  gState.driverIndex = driver - 1;
}

int countGfxModes() { return static_cast<int>(currentModes().size()); }

int gfxModeWidth(int mode) {
  const GraphicsMode* m = checkedMode(mode);
  return m ? m->width : 0;
}

int gfxModeHeight(int mode) {
  const GraphicsMode* m = checkedMode(mode);
  return m ? m->height : 0;
}

int gfxModeDepth(int mode) {
  const GraphicsMode* m = checkedMode(mode);
  return m ? m->depth : 0;
}

int findGfxMode(int width, int height, int depth) {
  const std::vector<GraphicsMode>& modes = currentModes();
  for (std::size_t i = 0; i < modes.size(); ++i)
    if (modes[i].width == width && modes[i].height == height && modes[i].depth == depth)
      return static_cast<int>(i) + 1;
  return 0;
}

int gfxModeExists(int width, int height, int depth) { return findGfxMode(width, height, depth) ? 1 : 0; }

// A fixed budget: the canvases are the runtime's own memory, but games size
// their caches from these figures.
int totalVidMem() { return gState.device ? kVideoMemoryBudget : 0; }

int availVidMem() {
  if (!gState.device) return 0;
  std::size_t used = PixelStore::liveBytes();
  return used >= static_cast<std::size_t>(kVideoMemoryBudget) ? 0 : kVideoMemoryBudget - static_cast<int>(used);
}

void graphics(int width, int height, int depth, int mode) {
  DisplayKind kind = displayKindArgument(mode);
  releaseDisplayObjects();
  closeDisplay();
  if (!openDisplay(width, height, depth, gState.driverIndex, kind)) raiseRuntimeError("Unable to set graphics mode");
  resetDrawingState(true);
}

void endGraphics() {
  releaseDisplayObjects();
  if (!gState.programMode) return;
  closeDisplay();
  if (!openDisplay(400, 300, 0, 0, DisplayKind::FixedWindow)) raiseRuntimeError("Unable to set graphics mode");
  resetDrawingState(false);
}

int frontBuffer() { return gState.device ? gState.device->front()->handle() : 0; }
int backBuffer() { return gState.device ? gState.device->back()->handle() : 0; }

int scanLine() { return gState.device ? gState.device->scanLine() : 0; }

void vWait(int) {
  currentHost()->pumpMessages();
  if (gState.device) gState.device->verticalWait();
  currentHost()->pumpMessages();
  checkEndRequest();
}

void flip(int vwait) {
  if (gState.device)
    gState.device->flip(vwait != 0);
  else
    currentHost()->pumpMessages();
  checkEndRequest();
}

int graphicsWidth() { return gState.device ? gState.device->front()->width() : 0; }
int graphicsHeight() { return gState.device ? gState.device->front()->height() : 0; }
int graphicsDepth() { return gState.device ? gState.device->front()->depth() : 0; }

}  // namespace gfx

}  // namespace kr
