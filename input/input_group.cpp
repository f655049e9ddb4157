// The input group: keyboard, mouse and joystick commands, their registration
// table, init and shutdown. Key, button and port numbers outside their range
// read 0 and change nothing. The commands sit beside the table so that each
// boundary entry takes its command's body in: games poll them every frame.
#include "input/input_group.h"

#include <cstdint>

#include "host/host_runtime.h"
#include "input/input_driver.h"
#include "runtime/command_table.h"
#include "runtime/errors.h"

namespace kr {

namespace {

struct InputState {
  InputDriver* driver = nullptr;
  KeyboardDevice keyboard;  // fed by the driver; here so a read is one load
  MouseDevice mouse;
  int lastX = 0, lastY = 0;  // what MouseXSpeed and MouseYSpeed last reported against
};

InputState gInput;

constexpr int kWaitStepMs = 20;

KeyboardDevice& keyboard() { return gInput.keyboard; }
MouseDevice& mouse() { return gInput.mouse; }

int speed(int now, int& last) {
  int moved = static_cast<int>(static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(last));
  last = now;
  return moved;
}

int direction(float v) { return v < -0.33333334f ? -1 : v > 0.33333334f ? 1 : 0; }

// Waits for a press that passes: ends the program quietly when an end is
// requested (the window closed), else pumps messages between looks.
template <class Take>
int waitFor(Take take) {
  HostRuntime& host = *currentHost();
  for (;;) {
    checkEndRequest();
    if (int result = take()) return result;
    host.delay(kWaitStepMs);
  }
}

}  // namespace

InputDriver* inputDriver() { return gInput.driver; }

namespace {

bool init() {
  gInput.lastX = gInput.lastY = 0;
  HostRuntime& host = *currentHost();
  gInput.driver = host.openDriver<InputDriver>(
      DriverSlot::Input, [&] { return InputDriver::open(host, gInput.keyboard, gInput.mouse); });
  return gInput.driver != nullptr;
}

void shutdown() {
  InputDriver* driver = gInput.driver;
  gInput.driver = nullptr;
  if (HostRuntime* host = currentHost()) host->closeDriver(DriverSlot::Input, driver);
}

int keyDown(int key) { return keyboard().isDown(key); }
int keyHit(int key) { return keyboard().hits(key); }
int getKey() { return keyboard().nextPress().character; }

// Presses without a character (Shift, the function keys) are consumed and skipped.
int waitKey() {
  return waitFor([] { return keyboard().nextPress().character; });
}

void flushKeys() { keyboard().flush(); }

int mouseDown(int button) { return mouse().isDown(button); }
int mouseHit(int button) { return mouse().hits(button); }
int getMouse() { return mouse().nextPress().code; }
int waitMouse() {
  return waitFor([] { return mouse().nextPress().code; });
}
int mouseX() { return mouse().x(); }
int mouseY() { return mouse().y(); }
int mouseXSpeed() { return speed(mouseX(), gInput.lastX); }
int mouseYSpeed() { return speed(mouseY(), gInput.lastY); }
void flushMouse() { mouse().flush(); }

void moveMouse(int x, int y) {
  gInput.lastX = x;
  gInput.lastY = y;
  gInput.driver->moveMouse(x, y);
}

int joyType(int port) {
  JoystickDevice* joystick = gInput.driver->joystick(port);
  return joystick ? joystick->type() : 0;
}

int joyDown(int button, int port) {
  JoystickDevice* joystick = gInput.driver->joystick(port);
  return joystick ? joystick->isDown(button) : 0;
}

int joyHit(int button, int port) {
  JoystickDevice* joystick = gInput.driver->joystick(port);
  return joystick ? joystick->hits(button) : 0;
}

int getJoy(int port) {
  JoystickDevice* joystick = gInput.driver->joystick(port);
  return joystick ? joystick->nextPress().code : 0;
}

int waitJoy(int port) {
  JoystickDevice* joystick = gInput.driver->joystick(port);
  if (!joystick) return 0;
  return waitFor([joystick] { return joystick->nextPress().code; });
}

float joyX(int port) {
  JoystickDevice* joystick = gInput.driver->joystick(port);
  return joystick ? joystick->axis(0) : 0.0f;
}

float joyY(int port) {
  JoystickDevice* joystick = gInput.driver->joystick(port);
  return joystick ? joystick->axis(1) : 0.0f;
}

float joyZ(int port) {
  JoystickDevice* joystick = gInput.driver->joystick(port);
  return joystick ? joystick->axis(2) : 0.0f;
}

int joyXDir(int port) { return direction(joyX(port)); }
int joyYDir(int port) { return direction(joyY(port)); }
int joyZDir(int port) { return direction(joyZ(port)); }

void flushJoy() {
  for (int port = 0; port < gInput.driver->joystickCount(); ++port) gInput.driver->joystick(port)->flush();
}

const CommandEntry kInputCommands[] = {
    KR_ENTRY("%KeyDown%key", keyDown),
    KR_ENTRY("%KeyHit%key", keyHit),
    KR_ENTRY("%GetKey", getKey),
    KR_ENTRY("%WaitKey", waitKey),
    KR_ENTRY("FlushKeys", flushKeys),
    KR_ENTRY("%MouseDown%button", mouseDown),
    KR_ENTRY("%MouseHit%button", mouseHit),
    KR_ENTRY("%GetMouse", getMouse),
    KR_ENTRY("%WaitMouse", waitMouse),
    KR_ENTRY("%MouseWait", waitMouse),
    KR_ENTRY("%MouseX", mouseX),
    KR_ENTRY("%MouseY", mouseY),
    KR_ENTRY("%MouseXSpeed", mouseXSpeed),
    KR_ENTRY("%MouseYSpeed", mouseYSpeed),
    KR_ENTRY("FlushMouse", flushMouse),
    KR_ENTRY("MoveMouse%x%y", moveMouse),
    KR_ENTRY("%JoyType%port=0", joyType),
    KR_ENTRY("%JoyDown%button%port=0", joyDown),
    KR_ENTRY("%JoyHit%button%port=0", joyHit),
    KR_ENTRY("%GetJoy%port=0", getJoy),
    KR_ENTRY("%WaitJoy%port=0", waitJoy),
    KR_ENTRY("%JoyWait%port=0", waitJoy),
    KR_ENTRY("#JoyX%port=0", joyX),
    KR_ENTRY("#JoyY%port=0", joyY),
    KR_ENTRY("#JoyZ%port=0", joyZ),
    KR_ENTRY("%JoyXDir%port=0", joyXDir),
    KR_ENTRY("%JoyYDir%port=0", joyYDir),
    KR_ENTRY("%JoyZDir%port=0", joyZDir),
    KR_ENTRY("FlushJoy", flushJoy),
};

}  // namespace

extern const CommandGroup inputGroup;
const CommandGroup inputGroup = KR_GROUP("input", kInputCommands, init, shutdown);

}  // namespace kr
