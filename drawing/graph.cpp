#include "drawing/graph.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "drawing/gradient.h"

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

// Writes the rows of a composition one by one, and only where they differ
// from what is there: most strips are the same from one tick to the next,
// and the rows that did change are noted for the window.
class RowWriter {
 public:
  RowWriter(Canvas& canvas, std::vector<RowSpan>* changed) : canvas_(canvas), changed_(changed) {}

  // width pixels of row y from src.
  void Copy(int y, int x, int width, const std::uint32_t* src) {
    std::uint32_t* dst = Row(y) + x;
    const std::size_t bytes = static_cast<std::size_t>(width) * sizeof(std::uint32_t);
    if (std::memcmp(dst, src, bytes) == 0) return;
    std::memcpy(dst, src, bytes);
    Changed(y);
  }
  void Fill(int y, int x, int width, std::uint32_t colour) {
    const std::uint32_t pixel = ToPixel(colour);
    std::uint32_t* dst = Row(y) + x;
    if (std::all_of(dst, dst + width, [pixel](std::uint32_t p) { return p == pixel; })) return;
    std::fill_n(dst, width, pixel);
    Changed(y);
  }

 private:
  std::uint32_t* Row(int y) {
    return canvas_.data() + static_cast<std::ptrdiff_t>(y) * canvas_.width();
  }
  // Rows come top to bottom, so a row either extends the last span or
  // starts a new one.
  void Changed(int y) {
    if (changed_ == nullptr) return;
    if (!changed_->empty() && y >= changed_->back().top && y <= changed_->back().bottom) {
      changed_->back().bottom = std::max(changed_->back().bottom, y + 1);
    } else {
      changed_->push_back({y, y + 1});
    }
  }

  Canvas& canvas_;
  std::vector<RowSpan>* changed_;
};

void Place(RowWriter& out, int& y, const Canvas& part, int height) {
  // A part that was never drawn must not leave an earlier stack showing.
  const bool drawn = part.width() >= kGraphPictureWidth && part.height() >= height;
  for (int r = 0; r < height; ++r) {
    if (drawn)
      out.Copy(y + r, 0, kGraphPictureWidth,
               part.data() + static_cast<std::ptrdiff_t>(r) * part.width());
    else
      out.Fill(y + r, 0, kGraphPictureWidth, kCanvasBackColour);
    out.Fill(y + r, kComposedWidth - 1, 1, kCanvasBackColour);  // the extra column
  }
  out.Fill(y + height, 0, kGraphPictureWidth, kSeparatorColour);
  out.Fill(y + height, kComposedWidth - 1, 1, kCanvasBackColour);
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
                 const std::vector<DriveRow>& drives, const StackParts& parts,
                 std::vector<RowSpan>* changed) {
  if (changed != nullptr) changed->clear();
  const int needed = StackHeight(items, drives, parts.notice != nullptr);
  if (canvas.width() != kComposedWidth || canvas.height() < needed) {
    canvas.Resize(kComposedWidth, std::max(needed, canvas.height()), kCanvasBackColour);
    if (changed != nullptr) changed->push_back({0, canvas.height()});
    changed = nullptr;  // everything is new
  }
  RowWriter out(canvas, changed);

  int y = 0;
  for (const ItemRow& row : items) {
    if (!row.checked) continue;
    const int key = RowKey(row);
    if (key == 113) {
      Place(out, y, parts.graph, kGraphPictureHeight);
    } else if (key == 112) {
      for (std::size_t d = 0; d < drives.size(); ++d) {
        if (!drives[d].checked) continue;
        static const Canvas kEmpty;
        const Canvas& strip = d < parts.driveStrips.size() ? parts.driveStrips[d] : kEmpty;
        Place(out, y, strip, kStripHeight);
      }
    } else if (key != 0) {
      Place(out, y, parts.strips[static_cast<std::size_t>(key - 100)], kStripHeight);
    }
  }
  if (parts.notice != nullptr) Place(out, y, *parts.notice, kStripHeight);
  // The rows under the stack show nothing.
  for (int row = y; row < canvas.height(); ++row)
    out.Fill(row, 0, kComposedWidth, kCanvasBackColour);
  return y;
}

}  // namespace mirel
