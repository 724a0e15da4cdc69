#include "monitor/canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace mirel {

Canvas::Canvas(int width, int height, std::uint32_t colour) { Resize(width, height, colour); }

void Canvas::Resize(int width, int height, std::uint32_t colour) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
                 ToPixel(colour));
}

void Canvas::Clear(std::uint32_t colour) { std::fill(pixels_.begin(), pixels_.end(), ToPixel(colour)); }

void Canvas::SetPixel(int x, int y, std::uint32_t colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y) * width_ + x] = ToPixel(colour);
}

std::uint32_t Canvas::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return ToColour(pixels_[static_cast<std::size_t>(y) * width_ + x]);
}

void Canvas::BitBlt(int dx, int dy, int w, int h, const Canvas& src, int sx, int sy) {
  // Clip against the source, then against the destination.
  if (sx < 0) { dx -= sx; w += sx; sx = 0; }
  if (sy < 0) { dy -= sy; h += sy; sy = 0; }
  if (dx < 0) { sx -= dx; w += dx; dx = 0; }
  if (dy < 0) { sy -= dy; h += dy; dy = 0; }
  w = std::min({w, src.width_ - sx, width_ - dx});
  h = std::min({h, src.height_ - sy, height_ - dy});
  if (w <= 0 || h <= 0) return;
  for (int row = 0; row < h; ++row) {
    std::memmove(&pixels_[static_cast<std::size_t>(dy + row) * width_ + dx],
                 &src.pixels_[static_cast<std::size_t>(sy + row) * src.width_ + sx],
                 static_cast<std::size_t>(w) * sizeof(std::uint32_t));
  }
}

void Canvas::Line(int x0, int y0, int x1, int y1, std::uint32_t colour) {
  // Bresenham; the last point is left out, as GDI's LineTo does.
  int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  while (!(x0 == x1 && y0 == y1)) {
    SetPixel(x0, y0, colour);
    int e2 = 2 * err;
    if (e2 >= dy) { err += dy; x0 += sx; }
    if (e2 <= dx) { err += dx; y0 += sy; }
  }
}

void Canvas::Rectangle(int x0, int y0, int x1, int y1, std::uint32_t colour) {
  if (x1 < x0) std::swap(x0, x1);
  if (y1 < y0) std::swap(y0, y1);
  if (x1 - x0 < 1 || y1 - y0 < 1) return;
  FillRect(x0, y0, x1 - x0, 1, colour);
  FillRect(x0, y1 - 1, x1 - x0, 1, colour);
  FillRect(x0, y0, 1, y1 - y0, colour);
  FillRect(x1 - 1, y0, 1, y1 - y0, colour);
}

void Canvas::FillRect(int x, int y, int w, int h, std::uint32_t colour) {
  int x0 = std::max(0, x), y0 = std::max(0, y);
  int x1 = std::min(width_, x + w), y1 = std::min(height_, y + h);
  const std::uint32_t pixel = ToPixel(colour);
  for (int row = y0; row < y1; ++row)
    for (int col = x0; col < x1; ++col) pixels_[static_cast<std::size_t>(row) * width_ + col] = pixel;
}

}  // namespace mirel
