// The input group: registration table, init and shutdown.
#include "input/input_commands.h"
#include "runtime/command_table.h"

namespace kr {

namespace {

using namespace in;

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
