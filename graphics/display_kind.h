// The kind of display a program has open. Graphics owns it; the host reads it
// to know whether focus loss must pause the program (full screen only).
#pragma once

namespace kr {

enum class DisplayKind {
  None,          // no display open
  ScaledWindow,  // a resizable window, the canvas stretched over it
  FixedWindow,   // a window the canvas's size, shown one to one
  FullScreen,    // the whole desktop, the canvas scaled to fit with its aspect kept
};

// The kind a Graphics mode argument (0 to 3) asks for: 0 is full screen, or a
// fixed window while debugging. False for any other mode.
inline bool displayKindForMode(int mode, bool debugging, DisplayKind* kind) {
  switch (mode) {
    case 0:
      *kind = debugging ? DisplayKind::FixedWindow : DisplayKind::FullScreen;
      return true;
    case 1:
      *kind = DisplayKind::FullScreen;
      return true;
    case 2:
      *kind = DisplayKind::FixedWindow;
      return true;
    case 3:
      *kind = DisplayKind::ScaledWindow;
      return true;
    default:
      return false;
  }
}

}  // namespace kr
