// Loading picture files into canvases, for images and LoadBuffer.
#pragma once
#include <string>

namespace kr {

class Canvas;
class GraphicsDevice;

// A new canvas of the device holding the picture the program named (its path
// as the program wrote it: backslashes, any letter case); null when the file
// is missing, not a BMP, PNG or JPEG, damaged, or too large for a canvas.
// Nothing is left behind.
Canvas* loadPictureCanvas(GraphicsDevice& device, const std::string& programName);

}  // namespace kr
