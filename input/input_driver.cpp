#include "input/input_driver.h"

#include <SDL2/SDL.h>

#include "graphics/graphics_device.h"

namespace kr {

namespace {

constexpr std::uint32_t kJoystickPollMs = 3;
constexpr int kJoystickButtons = 31;

GraphicsDevice* display(HostRuntime& host) {
  return static_cast<GraphicsDevice*>(host.driver(DriverSlot::Graphics));
}

int mouseButton(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return 0;
  }
}

}  // namespace

// ---- devices ----

input::Modifiers KeyboardDevice::modifiers() const {
  return {held(42) || held(54), held(29) || held(157), held(56) || held(184)};
}

JoystickDevice::~JoystickDevice() { SDL_JoystickClose(joystick_); }

void JoystickDevice::update() {
  std::uint32_t serial = driver_.pollJoysticks();
  if (serial == stateSerial_) return;
  stateSerial_ = serial;
  readState();
}

// Raw axis values -32768..32767 become 0..65535 and then about -1.0..+1.0.
// An axis the device lacks reads 0.
float JoystickDevice::axisValue(int axis) const {
  if (axis >= SDL_JoystickNumAxes(joystick_)) return 0.0f;
  float raw = static_cast<float>(SDL_JoystickGetAxis(joystick_, axis) + 32768);
  return raw * 3.0518044e-5f - 1.0f;
}

// An unplugged device reads as a centred stick with nothing held. A hat pushed
// off centre steers x and y like the stick (pads often have their cross as a hat).
void JoystickDevice::readState() {
  bool attached = SDL_JoystickGetAttached(joystick_);
  for (int axis = 0; axis < 3; ++axis) setAxis(axis, attached ? axisValue(axis) : 0.0f);
  if (attached && SDL_JoystickNumHats(joystick_) > 0) {
    Uint8 hat = SDL_JoystickGetHat(joystick_, 0);
    if (hat & SDL_HAT_LEFT) setAxis(0, -1.0f);
    if (hat & SDL_HAT_RIGHT) setAxis(0, 1.0f);
    if (hat & SDL_HAT_UP) setAxis(1, -1.0f);
    if (hat & SDL_HAT_DOWN) setAxis(1, 1.0f);
  }
  int buttons = attached ? SDL_JoystickNumButtons(joystick_) : 0;
  for (int b = 1; b <= kJoystickButtons; ++b) setHeld(b, b <= buttons && SDL_JoystickGetButton(joystick_, b - 1));
}

// ---- the driver ----

InputDriver* InputDriver::open(HostRuntime& host, KeyboardDevice& keyboard, MouseDevice& mouse) {
  keyboard.reset();
  mouse.reset();
  auto* driver = new InputDriver(host, keyboard, mouse);
  // Joystick state is read on demand; events for it would only fill the queue.
  // Like the keyboard, pads are read whether or not the window has the focus:
  // without a window manager it never gets it.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0) {
    driver->joystickSubsystem_ = true;
    SDL_JoystickEventState(SDL_IGNORE);
    SDL_GameControllerEventState(SDL_IGNORE);
    int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
      SDL_Joystick* joystick = SDL_JoystickOpen(i);
      if (!joystick) continue;
      int type = SDL_IsGameController(i) ? 1 : 2;
      driver->joysticks_.push_back(std::make_unique<JoystickDevice>(*driver, joystick, type));
    }
  }
  driver->followDisplay();
  return driver;
}

InputDriver::~InputDriver() {
  joysticks_.clear();
  if (joystickSubsystem_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
  if (acquired_) SDL_ShowCursor(SDL_ENABLE);
}

std::uint32_t InputDriver::pollJoysticks() {
  std::uint32_t now = HostRuntime::milliSecs();
  if (pollSerial_ == 0 || now - lastPollMs_ >= kJoystickPollMs) {
    SDL_JoystickUpdate();
    lastPollMs_ = now;
    if (++pollSerial_ == 0) pollSerial_ = 1;
  }
  return pollSerial_;
}

void InputDriver::displayChanged() {
  shownKind_ = host_.displayKind();
  shownDisplay_ = host_.driver(DriverSlot::Graphics);
  if (shownKind_ == DisplayKind::FullScreen && !host_.suspended())
    acquire();
  else if (acquired_)
    release();
}

// Full screen starts afresh: nothing held, the mouse (and the pointer) at 0, 0.
void InputDriver::acquire() {
  SDL_ShowCursor(SDL_DISABLE);
  keyboard_.reset();
  mouse_.reset();
  if (GraphicsDevice* device = display(host_)) device->moveMouse(0, 0);
  acquired_ = true;
}

void InputDriver::release() {
  acquired_ = false;
  keyboard_.reset();
  mouse_.reset();
  SDL_ShowCursor(SDL_ENABLE);
}

void InputDriver::onPause() {
  if (acquired_) release();
}

void InputDriver::onResume() {
  shownKind_ = host_.displayKind();
  shownDisplay_ = host_.driver(DriverSlot::Graphics);
  if (shownKind_ == DisplayKind::FullScreen) acquire();
}

void InputDriver::moveMouse(int x, int y) {
  followDisplay();
  mouse_.moveTo(x, y);
  GraphicsDevice* device = display(host_);
  if (!device) return;
  // The pointer can only go where the picture is.
  int w = device->front()->width(), h = device->front()->height();
  device->moveMouse(x < 0 ? 0 : x >= w ? w - 1 : x, y < 0 ? 0 : y >= h ? h - 1 : y);
}

void InputDriver::onEvent(const SDL_Event& event) {
  followDisplay();
  if (host_.suspended()) return;
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      keyEvent(event.key);
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      buttonEvent(event.button);
      return;
    case SDL_MOUSEMOTION:
      pointerAt(event.motion.x, event.motion.y);
      return;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST && event.window.windowID == SDL_GetWindowID(host_.window()))
        focusLost();
      return;
    default:
      return;
  }
}

// Key events are taken whichever window has the focus: without a window
// manager nothing ever gives ours the focus. Auto-repeats never count.
void InputDriver::keyEvent(const SDL_KeyboardEvent& key) {
  int code = input::keyCodeOf(key.keysym.scancode);
  if (!code) return;
  if (key.type == SDL_KEYUP) {
    keyboard_.release(code);
    return;
  }
  if (key.repeat) return;
  // The character is fixed now, with the modifiers held as the key goes down.
  keyboard_.press(code, input::translateKey(code, keyboard_.modifiers()));
}

void InputDriver::buttonEvent(const SDL_MouseButtonEvent& button) {
  int n = mouseButton(button.button);
  if (!n) return;
  bool windowed = host_.displayKind() != DisplayKind::FullScreen;
  if (button.type == SDL_MOUSEBUTTONDOWN) {
    mouse_.press(n);
    // Dragging outside the window keeps reporting the pointer, clamped.
    if (windowed) SDL_CaptureMouse(SDL_TRUE);
  } else {
    mouse_.release(n);
    if (windowed && !mouse_.held(1) && !mouse_.held(2) && !mouse_.held(3)) SDL_CaptureMouse(SDL_FALSE);
  }
}

void InputDriver::pointerAt(int x, int y) {
  GraphicsDevice* device = display(host_);
  if (!device) return;
  int cx, cy;
  device->windowToCanvas(x, y, &cx, &cy);
  mouse_.moveTo(cx, cy);
}

// Keys and buttons held when the focus went elsewhere will never be seen
// released: let them go now.
void InputDriver::focusLost() {
  keyboard_.releaseAll();
  mouse_.releaseAll();
  if (host_.displayKind() != DisplayKind::FullScreen) SDL_CaptureMouse(SDL_FALSE);
}

}  // namespace kr
