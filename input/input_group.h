// The keyboard, mouse and joystick commands, and the input group's life cycle.
#pragma once

namespace kr {

class InputDriver;

// The open input driver of the run, or null outside one.
InputDriver* inputDriver();

namespace in {

bool init();
void shutdown();

int keyDown(int key);
int keyHit(int key);
int getKey();
int waitKey();
void flushKeys();

int mouseDown(int button);
int mouseHit(int button);
int getMouse();
int waitMouse();
int mouseX();
int mouseY();
int mouseXSpeed();
int mouseYSpeed();
void flushMouse();
void moveMouse(int x, int y);

int joyType(int port);
int joyDown(int button, int port);
int joyHit(int button, int port);
int getJoy(int port);
int waitJoy(int port);
float joyX(int port);
float joyY(int port);
float joyZ(int port);
int joyXDir(int port);
int joyYDir(int port);
int joyZDir(int port);
void flushJoy();

}  // namespace in
}  // namespace kr
