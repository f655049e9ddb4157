// The graphics group's commands, as the group table registers them.
#pragma once
struct krString;

namespace kr {
namespace gfx {

bool init();
void shutdown();

// Display
int countGfxDrivers();
krString* gfxDriverName(int driver);
void setGfxDriver(int driver);
int countGfxModes();
int gfxModeWidth(int mode);
int gfxModeHeight(int mode);
int gfxModeDepth(int mode);
int findGfxMode(int width, int height, int depth);
int gfxModeExists(int width, int height, int depth);
int totalVidMem();
int availVidMem();
void graphics(int width, int height, int depth, int mode);
void endGraphics();
int frontBuffer();
int backBuffer();
int scanLine();
void vWait(int frames);
void flip(int vwait);
int graphicsWidth();
int graphicsHeight();
int graphicsDepth();

// Buffers
void setBuffer(int buffer);
int graphicsBuffer();
int saveBuffer(int buffer, krString* file);
void lockBuffer(int buffer);
void unlockBuffer(int buffer);
int readPixel(int x, int y, int buffer);
void writePixel(int x, int y, int argb, int buffer);
int readPixelFast(int x, int y, int buffer);
void writePixelFast(int x, int y, int argb, int buffer);

// Drawing
void origin(int x, int y);
void viewport(int x, int y, int width, int height);
void color(int red, int green, int blue);
void getColor(int x, int y);
int colorRed();
int colorGreen();
int colorBlue();
void clsColor(int red, int green, int blue);
void cls();
void plot(int x, int y);
void line(int x1, int y1, int x2, int y2);
void rect(int x, int y, int width, int height, int solid);
void oval(int x, int y, int width, int height, int solid);

}  // namespace gfx
}  // namespace kr
