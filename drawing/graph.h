// The history graph and the composition of the shown strips into one stack.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "drawing/canvas.h"
#include "readings/monitor_state.h"
#include "settings/settings_model.h"

namespace mirel {

inline constexpr int kGraphPictureWidth = 157;
inline constexpr int kGraphPictureHeight = 29;
// One column more than the strips: the source width of the stretched copy.
inline constexpr int kComposedWidth = 158;
// What the canvas shows where no strip lies (the extra right column).
inline constexpr std::uint32_t kCanvasBackColour = 0;

// The newest sample: the white middle pixel at (155, 15), then the segment
// from (155, 29 - height) to (154, 29 - prevHeight), its end point excluded
// (the previous segment drew it).
void DrawGraphSegment(Canvas& graph, int height, int prevHeight, std::uint32_t lineColour);
// Moves the picture one pixel left through scratch; the freed right column
// gets backColour.
void ScrollGraph(Canvas& graph, Canvas& scratch, std::uint32_t backColour);

// What the stack is built from. strips is indexed by slot (key - 100).
struct StackParts {
  const std::array<Canvas, kItemCount>& strips;
  const std::vector<Canvas>& driveStrips;  // one per drive row
  const Canvas& graph;
  const Canvas* notice;  // null when the notice is not shown
};

// Rows top .. bottom - 1 of a canvas.
struct RowSpan {
  int top = 0;
  int bottom = 0;
  bool operator==(const RowSpan&) const = default;
};

// Stacks every checked item row in list order (every checked drive row for
// the disk item), each followed by a black one-pixel line, and the notice
// last. Returns the stack height; canvas becomes kComposedWidth wide and at
// least that tall. When changed is given it receives, top to bottom, the
// rows whose pixels differ from what the canvas held before (all of them
// when the canvas had to grow), so that a window repaints only those.
int ComposeStack(Canvas& canvas, const std::vector<ItemRow>& items,
                 const std::vector<DriveRow>& drives, const StackParts& parts,
                 std::vector<RowSpan>* changed = nullptr);

// The stack height that ComposeStack will reach.
int StackHeight(const std::vector<ItemRow>& items, const std::vector<DriveRow>& drives,
                bool notice);

}  // namespace mirel
