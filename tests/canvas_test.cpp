#include "monitor/canvas.h"

#include <gtest/gtest.h>

namespace mirel {
namespace {

TEST(CanvasTest, LineLeavesOutItsEndPoint) {
  Canvas c(10, 10, 0);
  c.Line(0, 0, 4, 0, Rgb(255, 255, 255));
  EXPECT_EQ(c.GetPixel(3, 0), Rgb(255, 255, 255));
  EXPECT_EQ(c.GetPixel(4, 0), 0u);
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

}  // namespace
}  // namespace mirel
