#include "shell/win32/canvas_paint.h"

namespace mirel::win32 {

void DrawCanvas(HDC dc, int x, int y, const Canvas& canvas, int scale) {
  if (canvas.width() <= 0 || canvas.height() <= 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = canvas.width();
  info.bmiHeader.biHeight = -canvas.height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, x, y, canvas.width() * scale, canvas.height() * scale, 0, 0, canvas.width(),
                canvas.height(), canvas.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace mirel::win32
