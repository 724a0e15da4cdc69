// The upkeep of the monitor window: shows it again within 250 ms whenever
// something hid it (hidden, minimised, "show desktop"), or hides it while the
// cursor rests on it in the mouse-over mode.
//
// Only the mouse-over mode needs the cursor, so only then does a 250 ms timer
// poll it. Otherwise the window's own hide and state-change events start a
// short one-shot timer; an idle monitor that nobody hides wakes for nothing.
//
// Where the cursor position cannot be read (a Wayland session), the window's
// own enter and leave events tell whether the pointer is on it, and the
// mouse-over mode clears the window rather than hiding it, since a hidden
// window never learns that the pointer left; nothing polls then.
#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <functional>

#include "behaviour/window_upkeep_rule.h"

namespace mirel {

class MonitorWindow;

class WindowUpkeep : public QObject {
  Q_OBJECT

 public:
  static constexpr int kIntervalMs = 250;
  // From a hide or a minimise to the check that shows the window again: the
  // window manager finishes what it is doing meanwhile, and the window is
  // back well within the 250 ms.
  static constexpr int kReshowDelayMs = 100;

  WindowUpkeep(MonitorWindow& window, std::function<bool()> mouseOverMode,
               QObject* parent = nullptr);
  ~WindowUpkeep() override;

  void Start();
  void Stop();
  // One upkeep tick; returns what it did.
  UpkeepAction Tick();
  // The mouse-over choice may have changed: starts or stops the polling.
  void Sync();
  // Whether a check is due (polling in the mouse-over mode, or a window that
  // something hid).
  bool checkPending() const { return timer_.isActive(); }

  // The cursor position in device pixels of the screen (the native
  // position: at a pixel ratio of 2 every window pixel is two of these).
  std::function<QPoint()> cursorPos;
  // false where cursorPos cannot be trusted (see above).
  void SetCursorKnown(bool known) { cursorKnown_ = known; }
  // The window's enter (true) and leave (false) events.
  void PointerOver(bool over);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool MouseOver() const;
  void Schedule(bool mouseOver);

  MonitorWindow& window_;
  std::function<bool()> mouseOverMode_;
  QTimer timer_;
  bool running_ = false;
  bool cursorKnown_ = true;
  bool pointerOver_ = false;
};

// The cursor position in device pixels, straight from the display server
// where Qt's own position would be rounded to device-independent pixels.
QPoint NativeCursorPos();

}  // namespace mirel
