// The graphics group's font, text and console commands, as its table registers them.
#pragma once
struct krString;

namespace kr {
namespace gfx {

// Fonts and text
int loadFont(krString* name, int height, int bold, int italic, int underline);
void freeFont(int font);
void setFont(int font);
void text(int x, int y, krString* string, int centreX, int centreY);
int fontWidth();
int fontHeight();
int stringWidth(krString* string);
int stringHeight(krString* string);

// Console
void consoleWrite(krString* string);
void consolePrint(krString* string);
krString* consoleInput(krString* prompt);
void locate(int x, int y);

}  // namespace gfx
}  // namespace kr
