// InputDriver: the keyboard, the mouse and the joysticks, on the host's input
// slot. Keyboard and mouse are fed by the window's events, which the host's
// pump hands to onEvent; joysticks are read through SDL's joystick API when a
// command asks, at most every 3 ms.
//
// In full screen the devices are acquired: the pointer is hidden, and the
// keyboard and mouse start afresh (nothing held, the mouse at 0, 0) whenever
// full screen begins or the program resumes from a pause.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "host/host_runtime.h"
#include "input/input_device.h"
#include "input/key_codes.h"

// SDL stays inside the driver's own file.
struct _SDL_Joystick;
typedef struct _SDL_Joystick SDL_Joystick;
struct SDL_KeyboardEvent;
struct SDL_MouseButtonEvent;

namespace kr {

class InputDriver;

// Keyboard and mouse are fed by the window's events and have nothing to poll.
class KeyboardDevice final : public InputDevice {
 public:
  input::Modifiers modifiers() const;
};

// The pointer is always on a whole canvas pixel, so the position is kept as
// integers (MouseX reads it as it is).
class MouseDevice final : public InputDevice {
 public:
  int x() const { return x_; }
  int y() const { return y_; }
  void moveTo(int x, int y) {
    x_ = x;
    y_ = y;
  }
  void reset() override {
    InputDevice::reset();
    x_ = y_ = 0;
  }

 private:
  int x_ = 0, y_ = 0;
};

// A joystick is polled: every read first brings its state up to date (SDL's
// state is read at most every 3 ms).
class JoystickDevice final : public InputDevice {
 public:
  JoystickDevice(InputDriver& driver, SDL_Joystick* joystick, int type)
      : driver_(driver), joystick_(joystick), type_(type) {}
  ~JoystickDevice() override;
  int type() const { return type_; }

  int isDown(int n) {
    update();
    return InputDevice::isDown(n);
  }
  int hits(int n) {
    update();
    return InputDevice::hits(n);
  }
  Press nextPress() {
    update();
    return InputDevice::nextPress();
  }
  float axis(int i) {
    update();
    return InputDevice::axis(i);
  }
  void flush() {
    update();
    InputDevice::flush();
  }

 private:
  void update();
  float axisValue(int axis) const;
  void readState();

  InputDriver& driver_;
  SDL_Joystick* joystick_;  // kept open while the driver is, so an unplugged pad stays safe to ask
  int type_;                // 1 game controller, 2 other joystick
  std::uint32_t stateSerial_ = 0;
};

class InputDriver : public Driver {
 public:
  // Feeds the given keyboard and mouse, which the input group keeps in its own
  // state so that a command reads them with a single load. Joysticks that
  // cannot be opened are left out; a joystick subsystem that cannot start
  // gives none.
  static InputDriver* open(HostRuntime& host, KeyboardDevice& keyboard, MouseDevice& mouse);
  ~InputDriver() override;

  KeyboardDevice& keyboard() { return keyboard_; }
  MouseDevice& mouse() { return mouse_; }
  // Port n, or null outside the list fixed when the driver opened.
  JoystickDevice* joystick(int port) {
    return static_cast<unsigned>(port) < joysticks_.size() ? joysticks_[port].get() : nullptr;
  }
  int joystickCount() const { return static_cast<int>(joysticks_.size()); }

  // Sets the mouse position and puts the system pointer over it.
  void moveMouse(int x, int y);

  void onEvent(const SDL_Event& event) override;
  void onPause() override;
  void onResume() override;

  // Follows the display into and out of full screen. Every event does; a
  // display change always brings some (the window is shown, resized, exposed).
  void followDisplay() {
    if (host_.displayKind() != shownKind_ || host_.driver(DriverSlot::Graphics) != shownDisplay_) displayChanged();
  }
  // Brings every joystick's SDL state up to date, at most every 3 ms.
  std::uint32_t pollJoysticks();

 private:
  InputDriver(HostRuntime& host, KeyboardDevice& keyboard, MouseDevice& mouse)
      : host_(host), keyboard_(keyboard), mouse_(mouse) {}
  void displayChanged();
  void acquire();
  void release();
  void keyEvent(const SDL_KeyboardEvent& key);
  void buttonEvent(const SDL_MouseButtonEvent& button);
  void pointerAt(int x, int y);
  void focusLost();

  HostRuntime& host_;
  KeyboardDevice& keyboard_;
  MouseDevice& mouse_;
  std::vector<std::unique_ptr<JoystickDevice>> joysticks_;
  bool joystickSubsystem_ = false;
  bool acquired_ = false;
  DisplayKind shownKind_ = DisplayKind::None;
  const Driver* shownDisplay_ = nullptr;  // a new full-screen display starts afresh too
  std::uint32_t lastPollMs_ = 0;
  std::uint32_t pollSerial_ = 0;
};

}  // namespace kr
