#include "behaviour/window_upkeep_rule.h"

namespace mirel {

bool CursorOutside(int x, int y, const TwipsRect& w) {
  return x <= w.left - 1 || y <= w.top - 1 || x >= w.left + w.width || y >= w.top + w.height;
}

UpkeepAction DecideUpkeep(bool cursorOutside, bool mouseOverMode, bool windowVisible) {
  if (cursorOutside || !mouseOverMode)
    return windowVisible ? UpkeepAction::kNone : UpkeepAction::kShow;
  return windowVisible ? UpkeepAction::kHide : UpkeepAction::kNone;
}

}  // namespace mirel
