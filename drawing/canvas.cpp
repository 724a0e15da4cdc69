#include "drawing/canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace mirel {

Canvas::Canvas(int width, int height, std::uint32_t colour) {
  Resize(width, height, colour);
}

void Canvas::Resize(int width, int height, std::uint32_t colour) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
                 ToPixel(colour));
}

namespace {

// Fills n pixels: a short run by hand, then doubling block copies, which is
// several times faster than a plain store loop for the strip-sized areas
// cleared on every tick.
void FillPixels(std::uint32_t* p, std::size_t n, std::uint32_t pixel) {
  std::size_t done = std::min<std::size_t>(n, 32);
  std::fill_n(p, done, pixel);
  while (done < n) {
    const std::size_t chunk = std::min(done, n - done);
    std::memcpy(p + done, p, chunk * sizeof(std::uint32_t));
    done += chunk;
  }
}

}  // namespace

void Canvas::Clear(std::uint32_t colour) {
  FillPixels(pixels_.data(), pixels_.size(), ToPixel(colour));
}

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
  if (sx < 0) {
    dx -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    h += sy;
    sy = 0;
  }
  if (dx < 0) {
    sx -= dx;
    w += dx;
    dx = 0;
  }
  if (dy < 0) {
    sy -= dy;
    h += dy;
    dy = 0;
  }
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
  if (y0 == y1) {  // the separators: one row, the end point left out
    if (x0 <= x1)
      FillRect(x0, y0, x1 - x0, 1, colour);
    else
      FillRect(x1 + 1, y0, x0 - x1, 1, colour);
    return;
  }
  // Bresenham; the last point is left out, as GDI's LineTo does.
  int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  while (!(x0 == x1 && y0 == y1)) {
    SetPixel(x0, y0, colour);
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
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
  if (x1 <= x0 || y1 <= y0) return;
  // The first row by hand, the others copied from it.
  std::uint32_t* first = &pixels_[static_cast<std::size_t>(y0) * width_ + x0];
  const auto run = static_cast<std::size_t>(x1 - x0);
  FillPixels(first, run, ToPixel(colour));
  for (int row = y0 + 1; row < y1; ++row)
    std::memcpy(first + static_cast<std::size_t>(row - y0) * width_, first,
                run * sizeof(std::uint32_t));
}

void Canvas::StretchFrom(const Canvas& src, int srcWidth, int srcHeight) {
  srcWidth = std::min(srcWidth, src.width_);
  srcHeight = std::min(srcHeight, src.height_);
  if (width_ <= 0 || height_ <= 0) return;
  if (srcWidth <= 0 || srcHeight <= 0) {
    Clear(0);
    return;
  }
  // Source column of every destination column, once per call.
  std::vector<int> columns(static_cast<std::size_t>(width_));
  for (int x = 0; x < width_; ++x)
    columns[static_cast<std::size_t>(x)] =
        static_cast<int>((2 * static_cast<std::int64_t>(x) + 1) * srcWidth /
                         (2 * static_cast<std::int64_t>(width_)));
  const auto rowBytes = static_cast<std::size_t>(width_) * sizeof(std::uint32_t);
  int previous = -1;
  for (int y = 0; y < height_; ++y) {
    const int sy = static_cast<int>((2 * static_cast<std::int64_t>(y) + 1) * srcHeight /
                                    (2 * static_cast<std::int64_t>(height_)));
    std::uint32_t* out = &pixels_[static_cast<std::size_t>(y) * width_];
    if (sy == previous) {  // a repeated row is a copy of the one above
      std::memcpy(out, out - width_, rowBytes);
      continue;
    }
    const std::uint32_t* in = &src.pixels_[static_cast<std::size_t>(sy) * src.width_];
    for (int x = 0; x < width_; ++x) out[x] = in[columns[static_cast<std::size_t>(x)]];
    previous = sy;
  }
}

}  // namespace mirel
