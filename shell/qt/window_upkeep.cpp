#include "shell/qt/window_upkeep.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "shell/qt/monitor_window.h"

#if defined(MIREL_HAVE_XCB)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace mirel {

QPoint NativeCursorPos() {
#if defined(MIREL_HAVE_XCB)
  if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup);
    if (screen.rem > 0) {
      xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(
          connection, xcb_query_pointer(connection, screen.data->root), nullptr);
      if (reply != nullptr) {
        const QPoint at(reply->root_x, reply->root_y);
        std::free(reply);
        return at;
      }
    }
  }
#endif
  // Elsewhere Qt's position, which is exact wherever the ratio is 1.
  const QPoint logical = QCursor::pos();
  const QScreen* screen = QGuiApplication::screenAt(logical);
  const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  return QPoint(static_cast<int>(std::lround(logical.x() * ratio)),
                static_cast<int>(std::lround(logical.y() * ratio)));
}

WindowUpkeep::WindowUpkeep(MonitorWindow& window, std::function<bool()> mouseOverMode,
                           QObject* parent)
    : QObject(parent), window_(window), mouseOverMode_(std::move(mouseOverMode)) {
  cursorPos = [] { return NativeCursorPos(); };
  timer_.setInterval(kIntervalMs);
  // A coarse timer may be put off to fire with the refresh timer, hundreds
  // of milliseconds late; this one runs only while the window needs it.
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  window_.installEventFilter(this);
}

WindowUpkeep::~WindowUpkeep() {
  window_.removeEventFilter(this);
}

void WindowUpkeep::Start() {
  running_ = true;
  Schedule(MouseOver());
}

void WindowUpkeep::Stop() {
  running_ = false;
  timer_.stop();
}

void WindowUpkeep::Sync() {
  if (running_) Schedule(MouseOver());
}

bool WindowUpkeep::MouseOver() const {
  return mouseOverMode_ && mouseOverMode_();
}

bool WindowUpkeep::eventFilter(QObject* watched, QEvent* event) {
  if (running_ && watched == &window_ && !timer_.isActive() &&
      (event->type() == QEvent::Hide || event->type() == QEvent::WindowStateChange)) {
    timer_.start(kReshowDelayMs);
  }
  return false;
}

void WindowUpkeep::PointerOver(bool over) {
  pointerOver_ = over;
  if (running_ && !cursorKnown_) Tick();
}

UpkeepAction WindowUpkeep::Tick() {
  const bool mouseOver = MouseOver();
  if (!cursorKnown_) {
    // The rule decides on the picture: "hide" clears it, "show" brings it back.
    if (!window_.ShownOnScreen()) window_.ShowRestored();
    const UpkeepAction action = DecideUpkeep(!pointerOver_, mouseOver, !window_.veiled());
    if (action != UpkeepAction::kNone) window_.SetVeiled(action == UpkeepAction::kHide);
    if (running_) Schedule(mouseOver);
    return action;
  }
  bool outside = true;
  if (mouseOver) {
    // Both in device pixels, so the edges are those the user sees at any
    // pixel ratio; then in twips, as the rule counts.
    const QPoint c = cursorPos();
    const qreal ratio = window_.devicePixelRatioF();
    const QRect g = window_.geometry();
    auto device = [ratio](int v) { return static_cast<int>(std::lround(v * ratio)); };
    const TwipsRect twips{device(g.x()) * kTwipsPerPixel, device(g.y()) * kTwipsPerPixel,
                          device(g.width()) * kTwipsPerPixel, device(g.height()) * kTwipsPerPixel};
    outside = CursorOutside(c.x() * kTwipsPerPixel, c.y() * kTwipsPerPixel, twips);
  }
  const UpkeepAction action = DecideUpkeep(outside, mouseOver, window_.ShownOnScreen());
  // The window keeps its last displayed image, so showing it shows that.
  if (action == UpkeepAction::kShow) window_.ShowRestored();
  if (action == UpkeepAction::kHide) window_.hide();
  if (running_) Schedule(mouseOver);
  return action;
}

void WindowUpkeep::Schedule(bool mouseOver) {
  if (!running_) return;
  if (mouseOver && cursorKnown_) {
    if (!timer_.isActive() || timer_.interval() != kIntervalMs) timer_.start(kIntervalMs);
  } else if (!window_.ShownOnScreen()) {
    // Still hidden (a window manager that has not let go yet): keep trying.
    if (!timer_.isActive() || timer_.interval() != kIntervalMs) timer_.start(kIntervalMs);
  } else {
    timer_.stop();
  }
}

}  // namespace mirel
