// A small RGB32 drawing surface: what the strips, the graph, the gradient
// images and the composed picture are drawn on. Pixels are 0xFFRRGGBB, the
// layout of QImage::Format_RGB32, so the shell can wrap the buffer without a
// copy. Colours given to the drawing operations are the program's colour
// values 0x00BBGGRR (red in the low byte).
#pragma once

#include <cstdint>
#include <vector>

namespace mirel {

// 0x00BBGGRR -> 0xFFRRGGBB and back.
constexpr std::uint32_t ToPixel(std::uint32_t colour) {
  return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}
constexpr std::uint32_t ToColour(std::uint32_t pixel) {
  return ((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) | ((pixel & 0xFFu) << 16);
}
constexpr std::uint32_t Rgb(int r, int g, int b) {
  return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
         (static_cast<std::uint32_t>(b) << 16);
}

class Canvas {
 public:
  Canvas() = default;
  Canvas(int width, int height, std::uint32_t colour = 0);

  int width() const { return width_; }
  int height() const { return height_; }
  // Row-major pixels, width() per row, 0xFFRRGGBB.
  const std::uint32_t* data() const { return pixels_.data(); }
  std::uint32_t* data() { return pixels_.data(); }

  void Resize(int width, int height, std::uint32_t colour = 0);
  void Clear(std::uint32_t colour);
  void SetPixel(int x, int y, std::uint32_t colour);  // clipped
  std::uint32_t GetPixel(int x, int y) const;         // colour value; 0 outside
  // Copies the w × h rectangle at (sx, sy) of src to (dx, dy), clipped to
  // both surfaces. src may be this canvas only when the areas do not overlap.
  void BitBlt(int dx, int dy, int w, int h, const Canvas& src, int sx, int sy);
  // Line from (x0, y0) to (x1, y1), the end point excluded, as GDI draws it.
  void Line(int x0, int y0, int x1, int y1, std::uint32_t colour);
  // Outline of the rectangle with corners (x0, y0) and (x1, y1), the right
  // and bottom edges at x1 - 1 and y1 - 1.
  void Rectangle(int x0, int y0, int x1, int y1, std::uint32_t colour);
  void FillRect(int x, int y, int w, int h, std::uint32_t colour);  // clipped
  // Fills this whole canvas with the top-left srcWidth × srcHeight of src,
  // stretched with nearest-neighbour sampling (pixel centres): a whole
  // factor repeats every source pixel exactly factor × factor times.
  void StretchFrom(const Canvas& src, int srcWidth, int srcHeight);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace mirel
