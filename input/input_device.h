// InputDevice: the state of one keyboard, mouse or joystick as the commands
// read it: axes, hit counts, held flags and a queue of presses. Key and button
// numbers outside 0..255 read as nothing and change nothing.
#pragma once
#include <cstdint>

namespace kr {

struct Press {
  int code;       // key or button number; 0 when there was none
  int character;  // the key's character when it went down (keyboard only), else 0
};

class InputDevice {
 public:
  static constexpr int kButtons = 256;
  static constexpr int kAxes = 32;
  static constexpr std::uint32_t kQueueSize = 32;

  virtual ~InputDevice() = default;

  // What the commands read. Keyboard and mouse are fed by window events, so
  // their reads are a few loads and call nothing: games call them every frame.
  // A polled device (a joystick) brings its state up to date before each read.
  int isDown(int n) const { return valid(n) ? down_[n] : 0; }
  int hits(int n) {
    if (!valid(n)) return 0;
    int count = hits_[n];
    hits_[n] = 0;
    return count;
  }
  Press nextPress() {
    if (put_ == get_) return {0, 0};
    return queue_[get_++ % kQueueSize];
  }
  float axis(int i) const { return i >= 0 && i < kAxes ? axes_[i] : 0.0f; }
  void flush();

  // What the devices' feeds do.
  void press(int n, int character = 0);
  void release(int n) {
    if (valid(n)) down_[n] = 0;
  }
  void setHeld(int n, bool held);
  void setAxis(int i, float value) {
    if (i >= 0 && i < kAxes) axes_[i] = value;
  }
  bool held(int n) const { return valid(n) && down_[n]; }
  void releaseAll();
  virtual void reset();

  static bool valid(int n) { return static_cast<unsigned>(n) < kButtons; }

 private:
  float axes_[kAxes] = {};
  std::int32_t hits_[kButtons] = {};
  std::uint8_t down_[kButtons] = {};
  Press queue_[kQueueSize] = {};
  std::uint32_t put_ = 0, get_ = 0;  // the queue holds put - get presses, at most 32
};

}  // namespace kr
