// The graphics state every drawing command shares, and the display's life
// cycle (open at start-up, Graphics, EndGraphics, shutdown).
#pragma once
#include <cstdint>
#include <vector>

#include "graphics/canvas.h"
#include "graphics/graphics_device.h"

namespace kr {

struct GraphicsState {
  int driverIndex = 0;  // 0-based; the list holds one driver when a display exists
  bool haveDriver = false;
  std::vector<GraphicsMode> modes;
  GraphicsDevice* device = nullptr;
  Canvas* buffer = nullptr;  // where drawing commands go
  std::uint32_t colour = 0xFFFFFFFF;
  std::uint32_t clearColour = 0;
  Font* font = nullptr;  // null until fonts exist: text uses the device's default
  bool programMode = false;
  int cursorX = 0, cursorY = 0;  // console text position, reset by SetBuffer
};

GraphicsState& graphicsState();

// Called whenever the display is about to be replaced or closed, so images and
// the console's input canvas are released while their device still exists.
void addDisplayReleaseHook(void (*hook)());
void releaseDisplayObjects();

// The canvas behind a buffer argument: 0 is the current buffer. Unknown
// handles give null, or "Buffer does not exist" when debugging and checked.
Canvas* bufferArgument(int handle, bool checked);

// SetBuffer on a known canvas.
void selectBuffer(Canvas* canvas);

}  // namespace kr
