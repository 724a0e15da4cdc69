#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/gradient.h"
#include "monitor/graph.h"

namespace mirel {
namespace {

constexpr std::uint32_t kLine = Rgb(0, 255, 0);
constexpr std::uint32_t kBack = Rgb(0, 0, 40);

// A strip of one colour per slot, so every row of the stack tells where it
// came from.
std::uint32_t SlotColour(int slot) {
  return Rgb(100 + slot, 50, 200);
}
std::uint32_t DriveColour(int row) {
  return Rgb(10, 150 + row, 10);
}

struct Parts {
  std::array<Canvas, kItemCount> strips;
  std::vector<Canvas> drives;
  Canvas graph{kGraphPictureWidth, kGraphPictureHeight, Rgb(7, 7, 7)};
  Canvas notice{kStripWidth, kStripHeight, Rgb(128, 255, 255)};
  Parts() {
    for (int s = 0; s < kItemCount; ++s)
      strips[static_cast<std::size_t>(s)].Resize(kStripWidth, kStripHeight, SlotColour(s));
    for (int d = 0; d < 3; ++d) drives.emplace_back(kStripWidth, kStripHeight, DriveColour(d));
  }
  StackParts Stack(bool withNotice) const {
    return {strips, drives, graph, withNotice ? &notice : nullptr};
  }
};

std::vector<ItemRow> Rows(std::initializer_list<std::pair<const char*, bool>> rows) {
  std::vector<ItemRow> out;
  for (auto [key, on] : rows) out.push_back({"", key, "", "", on});
  return out;
}

// Rows y0..y1-1 of the first 157 columns hold one colour.
void ExpectBand(const Canvas& c, int y0, int y1, std::uint32_t colour) {
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < kStripWidth; ++x)
      ASSERT_EQ(c.GetPixel(x, y), colour) << "at " << x << "," << y;
}

TEST(CompositionTest, ProcessorGraphMemoryStack) {
  Parts parts;
  Canvas canvas;
  const auto items = Rows({{"100", true}, {"113", true}, {"101", true}, {"102", false}});
  const int y = ComposeStack(canvas, items, {}, parts.Stack(false));
  EXPECT_EQ(y, 58);
  EXPECT_EQ(canvas.width(), 158);
  ASSERT_GE(canvas.height(), 58);
  ExpectBand(canvas, 0, 13, SlotColour(0));
  ExpectBand(canvas, 13, 14, 0);
  ExpectBand(canvas, 14, 43, Rgb(7, 7, 7));
  ExpectBand(canvas, 43, 44, 0);
  ExpectBand(canvas, 44, 57, SlotColour(1));
  ExpectBand(canvas, 57, 58, 0);
  // The extra column holds no strip.
  for (int row = 0; row < 58; ++row) EXPECT_EQ(canvas.GetPixel(157, row), kCanvasBackColour);
  EXPECT_EQ(StackHeight(items, {}, false), 58);
}

TEST(CompositionTest, ListOrderDrivesAndNoticeLast) {
  Parts parts;
  std::vector<DriveRow> drives(3);
  drives[0].checked = true;
  drives[2].checked = true;
  const auto items = Rows({{"114", true}, {"112", true}, {"104", true}, {"105", false}});
  Canvas canvas(158, 500, Rgb(1, 1, 1));  // taller and dirty: cleared first
  const int y = ComposeStack(canvas, items, drives, parts.Stack(true));
  EXPECT_EQ(y, 5 * 14);
  const std::uint32_t order[] = {SlotColour(14), DriveColour(0), DriveColour(2), SlotColour(4),
                                 Rgb(128, 255, 255)};
  for (int i = 0; i < 5; ++i) {
    ExpectBand(canvas, i * 14, i * 14 + 13, order[i]);
    ExpectBand(canvas, i * 14 + 13, i * 14 + 14, 0);
  }
  EXPECT_EQ(canvas.GetPixel(50, 100), kCanvasBackColour);
  EXPECT_EQ(StackHeight(items, drives, true), y);
}

TEST(CompositionTest, EmptyAndUnknownRows) {
  Parts parts;
  Canvas canvas;
  EXPECT_EQ(ComposeStack(canvas, {}, {}, parts.Stack(false)), 0);
  EXPECT_EQ(ComposeStack(canvas, Rows({{"100", false}}), {}, parts.Stack(true)), 14);
  // A key outside the catalogue takes no room; a disk item without drives
  // neither.
  const auto odd = Rows({{"abc", true}, {"115", true}, {"112", true}, {"103", true}});
  EXPECT_EQ(ComposeStack(canvas, odd, {}, parts.Stack(false)), 14);
  ExpectBand(canvas, 0, 13, SlotColour(3));
}

TEST(GraphTest, NewestSegmentAfterAFullSample) {
  Canvas graph(kGraphPictureWidth, kGraphPictureHeight, kBack), scratch;
  DrawGraphSegment(graph, 29, 0, kLine);
  ScrollGraph(graph, scratch, kBack);
  DrawGraphSegment(graph, 14, 29, kLine);
  // Before the scroll: from (155, 15) up to (154, 0), every row reached.
  EXPECT_EQ(graph.GetPixel(155, 15), kLine);
  EXPECT_EQ(graph.GetPixel(154, 0), kLine);
  for (int y = 0; y <= 15; ++y) {
    const bool onLine = graph.GetPixel(154, y) == kLine || graph.GetPixel(155, y) == kLine;
    EXPECT_TRUE(onLine) << y;
  }
  EXPECT_EQ(graph.GetPixel(155, 16), kBack);
  EXPECT_EQ(graph.GetPixel(156, 15), kBack);

  ScrollGraph(graph, scratch, kBack);
  EXPECT_EQ(graph.GetPixel(154, 15), kLine);
  EXPECT_EQ(graph.GetPixel(153, 0), kLine);
  for (int y = 0; y < kGraphPictureHeight; ++y) {
    EXPECT_EQ(graph.GetPixel(156, y), kBack) << y;
    EXPECT_EQ(graph.GetPixel(155, y), kBack) << y;
  }
}

TEST(GraphTest, EndPointIsLeftToThePreviousSegment) {
  Canvas graph(kGraphPictureWidth, kGraphPictureHeight, kBack), scratch;
  DrawGraphSegment(graph, 10, 10, kLine);
  EXPECT_EQ(graph.GetPixel(155, 19), kLine);
  EXPECT_EQ(graph.GetPixel(154, 19), kBack);
  // A steady sample makes a continuous horizontal line after a few ticks.
  for (int i = 0; i < 5; ++i) {
    ScrollGraph(graph, scratch, kBack);
    DrawGraphSegment(graph, 10, 10, kLine);
  }
  for (int x = 150; x <= 155; ++x) EXPECT_EQ(graph.GetPixel(x, 19), kLine) << x;
}

TEST(GraphTest, MiddleLineAndSamplesAboveTheTop) {
  Canvas graph(kGraphPictureWidth, kGraphPictureHeight, kBack), scratch;
  for (int i = 0; i < 160; ++i) {
    DrawGraphSegment(graph, 40, 40, kLine);  // above the picture: cut
    ScrollGraph(graph, scratch, kBack);
  }
  // Each tick's white pixel has moved one column on: a white line ending at
  // x = 154 after the scroll.
  for (int x = 0; x < 155; ++x) EXPECT_EQ(graph.GetPixel(x, 15), kWhite) << x;
  EXPECT_EQ(graph.GetPixel(155, 15), kBack);
  EXPECT_EQ(graph.GetPixel(156, 15), kBack);
  for (int y = 0; y < kGraphPictureHeight; ++y) {
    if (y != 15) {
      EXPECT_EQ(graph.GetPixel(60, y), kBack) << y;
    }
  }
}

}  // namespace
}  // namespace mirel
