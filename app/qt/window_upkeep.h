// The 250 ms upkeep of the monitor window: shows it again whenever something
// hid it, or hides it while the cursor rests on it in the mouse-over mode.
#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <functional>

#include "app/window_upkeep_rule.h"

namespace mirel {

class MonitorWindow;

class WindowUpkeep : public QObject {
  Q_OBJECT

 public:
  static constexpr int kIntervalMs = 250;

  WindowUpkeep(MonitorWindow& window, std::function<bool()> mouseOverMode,
               QObject* parent = nullptr);

  void Start() { timer_.start(); }
  void Stop() { timer_.stop(); }
  // One upkeep tick; returns what it did.
  UpkeepAction Tick();

  // The cursor position in screen pixels (QCursor::pos() unless replaced).
  std::function<QPoint()> cursorPos;

 private:
  MonitorWindow& window_;
  std::function<bool()> mouseOverMode_;
  QTimer timer_;
};

}  // namespace mirel
