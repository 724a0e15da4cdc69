#include "monitor/graph.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "monitor/gradient.h"

namespace mirel {

namespace {

constexpr std::uint32_t kSeparatorColour = 0;
constexpr int kStripStep = kStripHeight + 1;
constexpr int kGraphStep = kGraphPictureHeight + 1;

// The key of an item row, or 0 for a key the catalogue does not have.
int RowKey(const ItemRow& row) {
  double key = 0;
  if (!ParseLenientNumber(row.key, key) || key < 100 || key > 114) return 0;
  return static_cast<int>(key);
}

void Place(Canvas& canvas, int& y, const Canvas& part, int height) {
  // A part that was never drawn must not leave an earlier stack showing.
  if (part.width() < kGraphPictureWidth || part.height() < height)
    canvas.FillRect(0, y, kGraphPictureWidth, height, kCanvasBackColour);
  canvas.BitBlt(0, y, kGraphPictureWidth, height, part, 0, 0);
  canvas.Line(0, y + height, kGraphPictureWidth, y + height, kSeparatorColour);
  y += height + 1;
}

}  // namespace

void DrawGraphSegment(Canvas& graph, int height, int prevHeight, std::uint32_t lineColour) {
  graph.SetPixel(155, 15, kWhite);
  graph.Line(155, kGraphPictureHeight - height, 154, kGraphPictureHeight - prevHeight, lineColour);
}

void ScrollGraph(Canvas& graph, Canvas& scratch, std::uint32_t backColour) {
  if (scratch.width() != graph.width() || scratch.height() != graph.height())
    scratch.Resize(graph.width(), graph.height());
  scratch.BitBlt(0, 0, graph.width(), graph.height(), graph, 0, 0);
  graph.BitBlt(0, 0, graph.width(), graph.height(), scratch, 1, 0);
  graph.FillRect(graph.width() - 1, 0, 1, graph.height(), backColour);
}

int StackHeight(const std::vector<ItemRow>& items, const std::vector<DriveRow>& drives,
                bool notice) {
  int y = 0;
  for (const ItemRow& row : items) {
    if (!row.checked) continue;
    const int key = RowKey(row);
    if (key == 113) {
      y += kGraphStep;
    } else if (key == 112) {
      for (const DriveRow& drive : drives)
        if (drive.checked) y += kStripStep;
    } else if (key != 0) {
      y += kStripStep;
    }
  }
  return notice ? y + kStripStep : y;
}

int ComposeStack(Canvas& canvas, const std::vector<ItemRow>& items,
                 const std::vector<DriveRow>& drives, const StackParts& parts) {
  // Every row of the stack is overwritten below, so only what lies outside
  // it is cleared: the extra right column and the rows under the stack.
  const int needed = StackHeight(items, drives, parts.notice != nullptr);
  if (canvas.width() != kComposedWidth || canvas.height() < needed)
    canvas.Resize(kComposedWidth, std::max(needed, canvas.height()), kCanvasBackColour);
  canvas.FillRect(kComposedWidth - 1, 0, 1, needed, kCanvasBackColour);
  canvas.FillRect(0, needed, kComposedWidth, canvas.height() - needed, kCanvasBackColour);

  int y = 0;
  for (const ItemRow& row : items) {
    if (!row.checked) continue;
    const int key = RowKey(row);
    if (key == 113) {
      Place(canvas, y, parts.graph, kGraphPictureHeight);
    } else if (key == 112) {
      for (std::size_t d = 0; d < drives.size(); ++d) {
        if (!drives[d].checked) continue;
        static const Canvas kEmpty;
        const Canvas& strip = d < parts.driveStrips.size() ? parts.driveStrips[d] : kEmpty;
        Place(canvas, y, strip, kStripHeight);
      }
    } else if (key != 0) {
      Place(canvas, y, parts.strips[static_cast<std::size_t>(key - 100)], kStripHeight);
    }
  }
  if (parts.notice != nullptr) Place(canvas, y, *parts.notice, kStripHeight);
  return y;
}

}  // namespace mirel
