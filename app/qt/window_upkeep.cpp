#include "app/qt/window_upkeep.h"

#include <QCursor>

#include "browser_control/qt/monitor_window.h"

namespace mirel {

WindowUpkeep::WindowUpkeep(MonitorWindow& window, std::function<bool()> mouseOverMode,
                           QObject* parent)
    : QObject(parent), window_(window), mouseOverMode_(std::move(mouseOverMode)) {
  cursorPos = [] { return QCursor::pos(); };
  timer_.setInterval(kIntervalMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

UpkeepAction WindowUpkeep::Tick() {
  const QPoint c = cursorPos();
  const QRect g = window_.geometry();
  const TwipsRect twips{g.x() * kTwipsPerPixel, g.y() * kTwipsPerPixel, g.width() * kTwipsPerPixel,
                        g.height() * kTwipsPerPixel};
  const bool outside = CursorOutside(c.x() * kTwipsPerPixel, c.y() * kTwipsPerPixel, twips);
  const UpkeepAction action =
      DecideUpkeep(outside, mouseOverMode_ && mouseOverMode_(), window_.isVisible());
  // The window keeps its last displayed image, so showing it shows that.
  if (action == UpkeepAction::kShow) window_.show();
  if (action == UpkeepAction::kHide) window_.hide();
  return action;
}

}  // namespace mirel
