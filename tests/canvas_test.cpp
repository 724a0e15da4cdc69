#include "drawing/canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace mirel {
namespace {

TEST(CanvasTest, LineLeavesOutItsEndPoint) {
  Canvas c(10, 10, 0);
  c.Line(0, 0, 4, 0, Rgb(255, 255, 255));
  EXPECT_EQ(c.GetPixel(3, 0), Rgb(255, 255, 255));
  EXPECT_EQ(c.GetPixel(4, 0), 0u);
}

TEST(CanvasTest, LinesInEveryDirectionLeaveOutTheEndPoint) {
  struct Case {
    int x0, y0, x1, y1;
  } cases[] = {{2, 3, 7, 3}, {7, 3, 2, 3}, {4, 1, 4, 8}, {4, 8, 4, 1}, {1, 1, 6, 6}, {6, 2, 5, 9}};
  for (const Case& c : cases) {
    Canvas canvas(10, 10, 0);
    canvas.Line(c.x0, c.y0, c.x1, c.y1, Rgb(9, 9, 9));
    EXPECT_EQ(canvas.GetPixel(c.x0, c.y0), Rgb(9, 9, 9)) << c.x0 << "," << c.y0;
    EXPECT_EQ(canvas.GetPixel(c.x1, c.y1), 0u) << c.x1 << "," << c.y1;
    int drawn = 0;
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) drawn += canvas.GetPixel(x, y) != 0;
    EXPECT_EQ(drawn, std::max(std::abs(c.x1 - c.x0), std::abs(c.y1 - c.y0)));
  }
  // Clipped at the edges, as the separators and graph segments need.
  Canvas canvas(5, 5, 0);
  canvas.Line(-3, 2, 9, 2, Rgb(1, 1, 1));
  for (int x = 0; x < 5; ++x) EXPECT_EQ(canvas.GetPixel(x, 2), Rgb(1, 1, 1));
}

TEST(CanvasTest, ClearAndFillCoverExactlyTheirArea) {
  Canvas c(157, 13, 0);
  c.Clear(Rgb(3, 4, 5));
  c.SetPixel(3, 11, Rgb(1, 1, 1));         // just right of the area
  c.FillRect(-2, 11, 5, 9, Rgb(7, 7, 7));  // clipped to 3 × 2
  EXPECT_EQ(c.GetPixel(3, 12), Rgb(3, 4, 5));
  c.SetPixel(3, 11, Rgb(3, 4, 5));
  int filled = 0, cleared = 0;
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 157; ++x) {
      const std::uint32_t p = c.GetPixel(x, y);
      filled += p == Rgb(7, 7, 7);
      cleared += p == Rgb(3, 4, 5);
    }
  EXPECT_EQ(filled, 3 * 2);
  EXPECT_EQ(cleared, 157 * 13 - 6);
}

TEST(CanvasTest, BitBltClipsAtEveryEdge) {
  Canvas src(4, 4, Rgb(1, 2, 3));
  Canvas dst(5, 5, 0);
  dst.BitBlt(3, -2, 4, 4, src, 0, 0);
  EXPECT_EQ(dst.GetPixel(3, 0), Rgb(1, 2, 3));
  EXPECT_EQ(dst.GetPixel(4, 1), Rgb(1, 2, 3));
  EXPECT_EQ(dst.GetPixel(4, 2), 0u);
  EXPECT_EQ(dst.GetPixel(2, 0), 0u);
}

TEST(CanvasTest, PixelLayoutIsQtRgb32) {
  Canvas c(1, 1, Rgb(0x12, 0x34, 0x56));
  EXPECT_EQ(c.data()[0], 0xFF123456u);
  EXPECT_EQ(c.GetPixel(0, 0), 0x563412u);
}

TEST(CanvasTest, StretchRepeatsEveryPixelByAWholeFactorAndSamplesCentresOtherwise) {
  Canvas src(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) src.SetPixel(x, y, Rgb(10 * x, 10 * y, 1));
  src.FillRect(0, 2, 5, 1, Rgb(9, 9, 9));  // a row below the part stretched

  for (int factor : {1, 2, 3}) {
    Canvas dst(5 * factor, 2 * factor, Rgb(255, 0, 0));
    dst.StretchFrom(src, 5, 2);
    for (int y = 0; y < dst.height(); ++y)
      for (int x = 0; x < dst.width(); ++x)
        ASSERT_EQ(dst.GetPixel(x, y), src.GetPixel(x / factor, y / factor))
            << factor << ": " << x << "," << y;
  }
  // 5 columns onto 8: centres 0.3, 0.9, 1.6, 2.2, 2.8, 3.4, 4.1, 4.7.
  Canvas wide(8, 1);
  wide.StretchFrom(src, 5, 1);
  const int expected[] = {0, 0, 1, 2, 2, 3, 4, 4};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(wide.GetPixel(x, 0), Rgb(10 * expected[x], 0, 1)) << x;
  // Shrunk to 2 × 1: the centres of the halves, 1.25 and 3.75.
  Canvas narrow(2, 1);
  narrow.StretchFrom(src, 5, 2);
  EXPECT_EQ(narrow.GetPixel(0, 0), Rgb(10, 10, 1));
  EXPECT_EQ(narrow.GetPixel(1, 0), Rgb(30, 10, 1));
  // Nothing to stretch: black.
  narrow.StretchFrom(src, 0, 2);
  EXPECT_EQ(narrow.GetPixel(1, 0), 0u);
}

}  // namespace
}  // namespace mirel
