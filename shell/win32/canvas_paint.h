// Painting the program's canvases onto a device context.
#pragma once

#include <windows.h>

#include "drawing/canvas.h"

namespace mirel::win32 {

// A canvas (0xFFRRGGBB rows, a top-down DIB as it is) stretched by a whole
// factor, its top left corner at x, y.
void DrawCanvas(HDC dc, int x, int y, const Canvas& canvas, int scale);

}  // namespace mirel::win32
