#include "behaviour/window_upkeep_rule.h"

#include "behaviour/shell.h"

namespace mirel {

bool CursorOutside(int x, int y, const TwipsRect& w) {
  return x <= w.left - 1 || y <= w.top - 1 || x >= w.left + w.width || y >= w.top + w.height;
}

UpkeepAction DecideUpkeep(bool cursorOutside, bool mouseOverMode, bool windowVisible) {
  if (cursorOutside || !mouseOverMode)
    return windowVisible ? UpkeepAction::kNone : UpkeepAction::kShow;
  return windowVisible ? UpkeepAction::kHide : UpkeepAction::kNone;
}

void MonitorUpkeep::Start(bool mouseOver) {
  running_ = true;
  Schedule(mouseOver);
}

void MonitorUpkeep::Stop() {
  running_ = false;
  RunTimer(0);
}

void MonitorUpkeep::Sync(bool mouseOver) {
  if (!running_) return;
  // Mouse-over given up while the window is veiled: its picture comes back.
  if (veiled_ && !mouseOver) VeilTick(mouseOver);
  Schedule(mouseOver);
}

void MonitorUpkeep::WindowHidden() {
  if (running_ && timerMs_ == 0) RunTimer(kReshowDelayMs);
}

void MonitorUpkeep::PointerOver(bool over, bool mouseOver) {
  pointerOver_ = over;
  if (running_ && !shell_.CursorPositionKnown()) Tick(mouseOver);
}

UpkeepAction MonitorUpkeep::VeilTick(bool mouseOver) {
  // The rule decides on the picture: "hide" veils it, "show" brings it back.
  if (!shell_.MonitorShownOnScreen()) shell_.ShowMonitor();
  const UpkeepAction action = DecideUpkeep(!pointerOver_, mouseOver, !veiled_);
  if (action != UpkeepAction::kNone) {
    veiled_ = action == UpkeepAction::kHide;
    shell_.SetMonitorVeiled(veiled_);
  }
  return action;
}

bool MonitorUpkeep::CursorOutsideWindow() {
  const std::optional<PixelPoint> cursor = shell_.CursorPosition();
  if (!cursor) return !pointerOver_;
  // Both in device pixels, so the edges are those the user sees at any
  // pixel ratio; then in twips, as the rule counts.
  const PixelRect r = shell_.MonitorDeviceRect();
  const TwipsRect twips{r.x * kTwipsPerPixel, r.y * kTwipsPerPixel, r.width * kTwipsPerPixel,
                        r.height * kTwipsPerPixel};
  return CursorOutside(cursor->x * kTwipsPerPixel, cursor->y * kTwipsPerPixel, twips);
}

UpkeepAction MonitorUpkeep::Tick(bool mouseOver) {
  if (!shell_.CursorPositionKnown()) {
    const UpkeepAction action = VeilTick(mouseOver);
    if (running_) Schedule(mouseOver);
    return action;
  }
  const bool outside = mouseOver ? CursorOutsideWindow() : true;
  const UpkeepAction action = DecideUpkeep(outside, mouseOver, shell_.MonitorShownOnScreen());
  if (action == UpkeepAction::kShow) shell_.ShowMonitor();
  if (action == UpkeepAction::kHide) shell_.HideMonitor();
  if (running_) Schedule(mouseOver);
  return action;
}

void MonitorUpkeep::Schedule(bool mouseOver) {
  if (!running_) return;
  // Polling in the mouse-over mode; otherwise only while the window is still
  // hidden (a window manager that has not let go yet: keep trying).
  const bool poll = (mouseOver && shell_.CursorPositionKnown()) || !shell_.MonitorShownOnScreen();
  RunTimer(poll ? kIntervalMs : 0);
}

void MonitorUpkeep::RunTimer(int ms) {
  if (ms == timerMs_) return;
  timerMs_ = ms;
  if (ms > 0) {
    shell_.StartUpkeepTimer(ms);
  } else {
    shell_.StopUpkeepTimer();
  }
}

}  // namespace mirel
