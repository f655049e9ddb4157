#include "input/input_device.h"

#include <cstring>

namespace kr {

void InputDevice::flush() {
  std::memset(hits_, 0, sizeof hits_);
  put_ = get_ = 0;
}

// A press beyond the 32 waiting is counted and held but not queued.
void InputDevice::press(int n, int character) {
  if (!valid(n)) return;
  down_[n] = 1;
  if (hits_[n] < INT32_MAX) ++hits_[n];
  if (put_ - get_ < kQueueSize) queue_[put_++ % kQueueSize] = {n, character};
}

void InputDevice::setHeld(int n, bool held) {
  if (!valid(n) || held == (down_[n] != 0)) return;
  if (held)
    press(n);
  else
    down_[n] = 0;
}

void InputDevice::releaseAll() { std::memset(down_, 0, sizeof down_); }

void InputDevice::reset() {
  std::memset(axes_, 0, sizeof axes_);
  std::memset(hits_, 0, sizeof hits_);
  std::memset(down_, 0, sizeof down_);
  put_ = get_ = 0;
}

}  // namespace kr
