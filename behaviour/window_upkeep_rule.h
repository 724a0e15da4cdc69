// The decision of the 250 ms upkeep timer: keep the monitor window shown, or
// hide it while the cursor rests on it when the user chose "マウスオーバーで表示".
// Pure arithmetic in twips, so it is tested without a display.
#pragma once

namespace mirel {

inline constexpr int kTwipsPerPixel = 15;

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The cursor (twips) is outside when x <= L - 1, y <= T - 1, x >= L + W or
// y >= T + H: the left and top edge columns count as inside, the column just
// past the right edge and the row just below the bottom as outside.
bool CursorOutside(int x, int y, const TwipsRect& window);

enum class UpkeepAction { kNone, kShow, kHide };

// What the upkeep tick does with the window. Showing is only needed when the
// window is hidden; hiding only when it is shown.
UpkeepAction DecideUpkeep(bool cursorOutside, bool mouseOverMode, bool windowVisible);

}  // namespace mirel
