#include "browser_control/qt/monitor_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace mirel {

namespace {
constexpr int kResizeBorder = 4;  // pixels along the right and bottom edges
}

int TwipsToPixels(int twips) {
  return static_cast<int>(std::lround(twips / 15.0));
}

MonitorWindow::MonitorWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
  setObjectName("Form4");
  setWindowTitle(QString::fromUtf8(kProgramTitle));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMinimumSize(1, 1);
  setMouseTracking(false);
}

void MonitorWindow::ShowCanvas(const Canvas& canvas, int height) {
  canvas_ = &canvas;
  canvasHeight_ = std::clamp(height, 0, canvas.height());
  Rescale();
}

void MonitorWindow::Rescale() {
  if (canvas_ == nullptr || canvasHeight_ <= 0 || canvas_->width() <= 0 || width() <= 0 ||
      height() <= 0) {
    scaled_ = QImage();
    update();
    return;
  }
  // The const-data constructor wraps the canvas buffer without copying it.
  const QImage source(reinterpret_cast<const uchar*>(canvas_->data()), canvas_->width(),
                      canvasHeight_, canvas_->width() * 4, QImage::Format_RGB32);
  if (source.size() == size()) {
    scaled_ = source.copy();  // the canvas changes under a wrapped image
  } else {
    scaled_ = source.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  }
  update();
}

void MonitorWindow::SetAlwaysOnTop(bool onTop) {
  const bool wasVisible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (wasVisible) show();  // changing flags hides the window
}

void MonitorWindow::ApplyGeometryTwips(const DisplayGeometry& g) {
  placed_ = QPoint(TwipsToPixels(g.left), TwipsToPixels(g.top));
  const int w = std::max(1, TwipsToPixels(g.width - kBorderWidthTwips));
  const int h = std::max(1, TwipsToPixels(g.height - kBorderHeightTwips));
  setGeometry(QRect(placed_, QSize(w, h)));
}

DisplayGeometry MonitorWindow::GeometryTwips() const {
  const QRect g = geometry();
  DisplayGeometry d;
  d.left = g.x() * 15;
  d.top = g.y() * 15;
  d.width = g.width() * 15 + kBorderWidthTwips;
  d.height = g.height() * 15 + kBorderHeightTwips;
  d.scaleHeight = g.height();
  return d;
}

bool MonitorWindow::KeepOnAScreen() {
  const QRect g = geometry();
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry().intersects(g)) return false;
  }
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary == nullptr) return false;
  placed_ = primary->availableGeometry().topLeft();
  move(placed_);
  return true;
}

void MonitorWindow::FitToCanvas(int height) {
  if (canvas_ == nullptr || height <= 0) return;
  const QSize want(canvas_->width(), height);
  if (size() != want) resize(want);
}

void MonitorWindow::ReapplyPosition() {
  if (pos() != placed_) move(placed_);
  // Once the window manager has placed the new window it usually accepts a
  // move; do it again then, unless the user has taken the window meanwhile.
  const QPoint asked = placed_;
  QTimer::singleShot(300, this, [this, asked] {
    if (isVisible() && drag_ == Drag::kNone && placed_ == asked && pos() != asked) move(asked);
  });
}

std::uint32_t MonitorWindow::ColourAt(QPoint pos) const {
  if (!scaled_.valid(pos)) return 0;
  return ToColour(static_cast<std::uint32_t>(scaled_.pixel(pos)) & 0x00FFFFFFu);
}

void MonitorWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (scaled_.isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  p.drawImage(0, 0, scaled_);
}

Qt::Edges MonitorWindow::EdgesAt(QPoint pos) const {
  Qt::Edges edges;
  if (!resizable_) return edges;
  if (pos.x() >= width() - kResizeBorder) edges |= Qt::RightEdge;
  if (pos.y() >= height() - kResizeBorder) edges |= Qt::BottomEdge;
  return edges;
}

void MonitorWindow::mousePressEvent(QMouseEvent* e) {
  const Qt::MouseButtons buttons = e->buttons();
  if (buttons == Qt::RightButton) {
    if (onRightPress) onRightPress(e->globalPosition().toPoint());
    return;
  }
  if (!(buttons & Qt::LeftButton)) return;  // middle button: nothing

  const QPoint pos = e->position().toPoint();
  const bool toggle = buttons == Qt::LeftButton;
  pressColour_ = ColourAt(pos);
  pressGlobal_ = e->globalPosition().toPoint();
  pressGeometry_ = geometry();

  resizeEdges_ = EdgesAt(pos);
  QWindow* handle = windowHandle();
  if (resizeEdges_) {
    drag_ = (handle != nullptr && handle->startSystemResize(resizeEdges_)) ? Drag::kNone
                                                                           : Drag::kManualResize;
    return;  // a resize never toggles
  }
  if (handle != nullptr && handle->startSystemMove()) {
    // The window manager owns the drag now and may swallow the release, so
    // the toggle for the press position happens here.
    drag_ = Drag::kNone;
    if (toggle && onLeftClick) onLeftClick(pressColour_);
    return;
  }
  drag_ = toggle ? Drag::kManualMove : Drag::kNone;
}

void MonitorWindow::mouseMoveEvent(QMouseEvent* e) {
  const QPoint delta = e->globalPosition().toPoint() - pressGlobal_;
  if (drag_ == Drag::kManualMove) {
    move(pressGeometry_.topLeft() + delta);
  } else if (drag_ == Drag::kManualResize) {
    QSize s = pressGeometry_.size();
    if (resizeEdges_ & Qt::RightEdge) s.setWidth(std::max(1, s.width() + delta.x()));
    if (resizeEdges_ & Qt::BottomEdge) s.setHeight(std::max(1, s.height() + delta.y()));
    resize(s);
  }
}

void MonitorWindow::mouseReleaseEvent(QMouseEvent* e) {
  const Drag was = drag_;
  drag_ = Drag::kNone;
  if (was == Drag::kManualMove && e->button() == Qt::LeftButton && onLeftClick) {
    onLeftClick(pressColour_);
  }
}

void MonitorWindow::resizeEvent(QResizeEvent*) {
  Rescale();
  if (onGeometryChanged) onGeometryChanged();
}

void MonitorWindow::moveEvent(QMoveEvent*) {
  if (onGeometryChanged) onGeometryChanged();
}

void MonitorWindow::closeEvent(QCloseEvent* e) {
  e->accept();
  if (onClose) onClose();
}

}  // namespace mirel
