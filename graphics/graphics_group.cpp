// The graphics and images group: registration table, init and shutdown.
#include "graphics/dialog_face.h"
#include "graphics/graphics_commands.h"
#include "graphics/text_commands.h"
#include "images/images_commands.h"
#include "runtime/command_table.h"

namespace kr {

namespace {

using namespace gfx;

const CommandEntry kGraphicsCommands[] = {
    KR_ENTRY("%CountGfxDrivers", countGfxDrivers),
    KR_ENTRY("$GfxDriverName%driver", gfxDriverName),
    KR_ENTRY("SetGfxDriver%driver", setGfxDriver),
    KR_ENTRY("%CountGfxModes", countGfxModes),
    KR_ENTRY("%GfxModeWidth%mode", gfxModeWidth),
    KR_ENTRY("%GfxModeHeight%mode", gfxModeHeight),
    KR_ENTRY("%GfxModeDepth%mode", gfxModeDepth),
    KR_ENTRY("%FindGfxMode%width%height%depth", findGfxMode),
    KR_ENTRY("%GfxModeExists%width%height%depth", gfxModeExists),
    KR_ENTRY("%TotalVidMem", totalVidMem),
    KR_ENTRY("%AvailVidMem", availVidMem),
    KR_ENTRY("Graphics%width%height%depth=0%mode=0", graphics),
    KR_ENTRY("EndGraphics", endGraphics),
    KR_ENTRY("%FrontBuffer", frontBuffer),
    KR_ENTRY("%BackBuffer", backBuffer),
    KR_ENTRY("%ScanLine", scanLine),
    KR_ENTRY("VWait%frames=1", vWait),
    KR_ENTRY("Flip%vwait=1", flip),
    KR_ENTRY("%GraphicsWidth", graphicsWidth),
    KR_ENTRY("%GraphicsHeight", graphicsHeight),
    KR_ENTRY("%GraphicsDepth", graphicsDepth),
    KR_ENTRY("SetBuffer%buffer", setBuffer),
    KR_ENTRY("%GraphicsBuffer", graphicsBuffer),
    KR_ENTRY("%SaveBuffer%buffer$bmpfile", saveBuffer),
    KR_ENTRY("LockBuffer%buffer=0", lockBuffer),
    KR_ENTRY("UnlockBuffer%buffer=0", unlockBuffer),
    KR_ENTRY("%ReadPixel%x%y%buffer=0", readPixel),
    KR_ENTRY("WritePixel%x%y%argb%buffer=0", writePixel),
    KR_ENTRY("%ReadPixelFast%x%y%buffer=0", readPixelFast),
    KR_ENTRY("WritePixelFast%x%y%argb%buffer=0", writePixelFast),
    KR_ENTRY("Origin%x%y", origin),
    KR_ENTRY("Viewport%x%y%width%height", viewport),
    KR_ENTRY("Color%red%green%blue", color),
    KR_ENTRY("GetColor%x%y", getColor),
    KR_ENTRY("%ColorRed", colorRed),
    KR_ENTRY("%ColorGreen", colorGreen),
    KR_ENTRY("%ColorBlue", colorBlue),
    KR_ENTRY("ClsColor%red%green%blue", clsColor),
    KR_ENTRY("Cls", cls),
    KR_ENTRY("Plot%x%y", plot),
    KR_ENTRY("Line%x1%y1%x2%y2", line),
    KR_ENTRY("Rect%x%y%width%height%solid=1", rect),
    KR_ENTRY("Oval%x%y%width%height%solid=1", oval),
    KR_ENTRY("%LoadFont$fontname%height=12%bold=0%italic=0%underline=0", loadFont),
    KR_ENTRY("FreeFont%font", freeFont),
    KR_ENTRY("SetFont%font", setFont),
    KR_ENTRY("Text%x%y$text%centre_x=0%centre_y=0", text),
    KR_ENTRY("%FontWidth", fontWidth),
    KR_ENTRY("%FontHeight", fontHeight),
    KR_ENTRY("%StringWidth$string", stringWidth),
    KR_ENTRY("%StringHeight$string", stringHeight),
    KR_ENTRY("Write$string", consoleWrite),
    KR_ENTRY("Print$string=\"\"", consolePrint),
    KR_ENTRY("$Input$prompt=\"\"", consoleInput),
    KR_ENTRY("Locate%x%y", locate),

    // Images
    KR_ENTRY("%LoadImage$bmpfile", img::loadImage),
    KR_ENTRY("%CopyImage%image", img::copyImage),
    KR_ENTRY("%CreateImage%width%height%frames=1", img::createImage),
    KR_ENTRY("%LoadAnimImage$bmpfile%cellwidth%cellheight%first%count", img::loadAnimImage),
    KR_ENTRY("FreeImage%image", img::freeImage),
    KR_ENTRY("%SaveImage%image$bmpfile%frame=0", img::saveImage),
    KR_ENTRY("GrabImage%image%x%y%frame=0", img::grabImage),
    KR_ENTRY("%ImageBuffer%image%frame=0", img::imageBuffer),
    KR_ENTRY("DrawImage%image%x%y%frame=0", img::drawImage),
    KR_ENTRY("DrawBlock%image%x%y%frame=0", img::drawBlock),
    KR_ENTRY("TileImage%image%x=0%y=0%frame=0", img::tileImage),
    KR_ENTRY("TileBlock%image%x=0%y=0%frame=0", img::tileBlock),
    KR_ENTRY("DrawImageRect%image%x%y%rect_x%rect_y%rect_width%rect_height%frame=0", img::drawImageRect),
    KR_ENTRY("DrawBlockRect%image%x%y%rect_x%rect_y%rect_width%rect_height%frame=0", img::drawBlockRect),
    KR_ENTRY("MaskImage%image%red%green%blue", img::maskImage),
    KR_ENTRY("HandleImage%image%x%y", img::handleImage),
    KR_ENTRY("MidHandle%image", img::midHandle),
    KR_ENTRY("AutoMidHandle%enable", img::autoMidHandle),
    KR_ENTRY("%ImageWidth%image", img::imageWidth),
    KR_ENTRY("%ImageHeight%image", img::imageHeight),
    KR_ENTRY("%ImageXHandle%image", img::imageXHandle),
    KR_ENTRY("%ImageYHandle%image", img::imageYHandle),
    KR_ENTRY("%ImagesOverlap%image1%x1%y1%image2%x2%y2", img::imagesOverlap),
    KR_ENTRY("%ImagesCollide%image1%x1%y1%frame1%image2%x2%y2%frame2", img::imagesCollide),
    KR_ENTRY("%RectsOverlap%x1%y1%width1%height1%x2%y2%width2%height2", img::rectsOverlap),
    KR_ENTRY("%ImageRectOverlap%image%x%y%rect_x%rect_y%rect_width%rect_height", img::imageRectOverlap),
    KR_ENTRY("%ImageRectCollide%image%x%y%frame%rect_x%rect_y%rect_width%rect_height", img::imageRectCollide),
    KR_ENTRY("TFormImage%image#a#b#c#d", img::tFormImage),
    KR_ENTRY("ScaleImage%image#xscale#yscale", img::scaleImage),
    KR_ENTRY("ResizeImage%image#width#height", img::resizeImage),
    KR_ENTRY("RotateImage%image#angle", img::rotateImage),
    KR_ENTRY("TFormFilter%enable", img::tFormFilter),
    KR_ENTRY("%LoadBuffer%buffer$bmpfile", img::loadBuffer),
};

// Image state is reset before the display opens: opening releases what a
// previous run left.
bool initGroup() {
  installDialogFace();
  img::init();
  return init();
}

}  // namespace

extern const CommandGroup graphicsGroup;
const CommandGroup graphicsGroup = KR_GROUP("graphics and images", kGraphicsCommands, initGroup, shutdown);

}  // namespace kr
