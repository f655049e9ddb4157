// Image transforms: a 2 x 2 matrix about the frame's handle, sampled at the
// centre of every destination pixel, nearest or bilinear. Single-precision
// arithmetic throughout (this code is compiled for SSE maths).
#pragma once
#include "graphics/canvas.h"

namespace kr {

// The canvas a w x h frame with handle (hx, hy) becomes under (a, b, c, d):
// a point (x, y) relative to the handle goes to (a x + c y, b x + d y).
struct TransformPlan {
  bool valid = false;  // false: determinant 0, a value not finite, or no canvas-sized result
  int width = 0, height = 0;
  int handleX = 0, handleY = 0;  // where the old handle point lands
  float minX = 0, minY = 0;      // the destination's top-left, relative to the handle
  float a = 1, b = 0, c = 0, d = 1, inverse = 1;
  int sourceHandleX = 0, sourceHandleY = 0;
};

TransformPlan planTransform(int width, int height, int handleX, int handleY, float a, float b, float c, float d);

// Writes every pixel of target (plan.width x plan.height) from source. Source
// positions outside the source's bounds read its mask colour; its origin and
// viewport play no part.
void renderTransform(const Canvas& source, Canvas& target, const TransformPlan& plan, bool filter);

}  // namespace kr
