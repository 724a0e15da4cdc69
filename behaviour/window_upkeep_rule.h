// The upkeep of the monitor window: show it again whenever something hid it
// (hidden, minimised, "show desktop"), or hide it while the cursor rests on
// it when the user chose "マウスオーバーで表示". The decisions and their
// timings live here; a shell only runs the timer, reports hides and answers
// where the cursor is.
//
// Only the mouse-over mode needs the cursor, so only then does the timer
// poll every 250 ms. Otherwise a hide or a minimise that the shell reports
// starts a short check; an idle monitor that nobody hides wakes for nothing.
//
// Where the cursor position cannot be read (Shell::CursorPositionKnown), the
// window's enter and leave tell whether the pointer is on it, and the
// mouse-over mode veils the window rather than hiding it, since a hidden
// window never learns that the pointer left; nothing polls then.
#pragma once

#include <optional>

#include "behaviour/monitor_geometry.h"

namespace mirel {

class Shell;

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

class MonitorUpkeep {
 public:
  static constexpr int kIntervalMs = 250;
  // From a hide or a minimise to the check that shows the window again: the
  // window manager finishes what it is doing meanwhile, and the window is
  // back well within the 250 ms.
  static constexpr int kReshowDelayMs = 100;

  explicit MonitorUpkeep(Shell& shell) : shell_(shell) {}

  void Start(bool mouseOver);
  void Stop();
  // The mouse-over choice may have changed: starts or stops the polling.
  void Sync(bool mouseOver);
  // The shell saw the window hidden or its state change (minimised).
  void WindowHidden();
  // The window's enter (true) and leave (false); where the cursor position
  // is unknown, they decide at once.
  void PointerOver(bool over, bool mouseOver);
  // One upkeep tick (the timer fired); returns what it did.
  UpkeepAction Tick(bool mouseOver);

  // The interval the timer runs at; 0 while it is stopped.
  int timerMs() const { return timerMs_; }

 private:
  bool CursorOutsideWindow();
  UpkeepAction VeilTick(bool mouseOver);
  void Schedule(bool mouseOver);
  void RunTimer(int ms);

  Shell& shell_;
  bool running_ = false;
  int timerMs_ = 0;
  bool pointerOver_ = false;
  bool veiled_ = false;
};

}  // namespace mirel
