// The image commands of the graphics and images group, as its table registers
// them, and the group's image state.
#pragma once
struct krString;

namespace kr {
namespace img {

// Called by the group's init: image state as a run starts.
void init();

// Images and frames
int loadImage(krString* file);
int copyImage(int image);
int createImage(int width, int height, int frames);
int loadAnimImage(krString* file, int cellWidth, int cellHeight, int first, int count);
void freeImage(int image);
int saveImage(int image, krString* file, int frame);
void grabImage(int image, int x, int y, int frame);
int imageBuffer(int image, int frame);
void drawImage(int image, int x, int y, int frame);
void drawBlock(int image, int x, int y, int frame);
void tileImage(int image, int x, int y, int frame);
void tileBlock(int image, int x, int y, int frame);
void drawImageRect(int image, int x, int y, int rectX, int rectY, int rectWidth, int rectHeight, int frame);
void drawBlockRect(int image, int x, int y, int rectX, int rectY, int rectWidth, int rectHeight, int frame);
void maskImage(int image, int red, int green, int blue);
void handleImage(int image, int x, int y);
void midHandle(int image);
void autoMidHandle(int enable);
int imageWidth(int image);
int imageHeight(int image);
int imageXHandle(int image);
int imageYHandle(int image);

// Collisions
int imagesOverlap(int image1, int x1, int y1, int image2, int x2, int y2);
int imagesCollide(int image1, int x1, int y1, int frame1, int image2, int x2, int y2, int frame2);
int rectsOverlap(int x1, int y1, int width1, int height1, int x2, int y2, int width2, int height2);
int imageRectOverlap(int image, int x, int y, int rectX, int rectY, int rectWidth, int rectHeight);
int imageRectCollide(int image, int x, int y, int frame, int rectX, int rectY, int rectWidth, int rectHeight);

// Transforms
void tFormImage(int image, float a, float b, float c, float d);
void scaleImage(int image, float xScale, float yScale);
void resizeImage(int image, float width, float height);
void rotateImage(int image, float angle);
void tFormFilter(int enable);

// Pictures into buffers
int loadBuffer(int buffer, krString* file);

}  // namespace img
}  // namespace kr
