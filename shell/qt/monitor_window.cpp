#include "shell/qt/monitor_window.h"

#include <QCloseEvent>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "behaviour/switch_toggle.h"

namespace mirel {

namespace {
constexpr int kResizeBorder = 4;  // pixels along the right and bottom edges
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

void MonitorWindow::ShowCanvas(const Canvas& canvas, int height,
                               const std::vector<RowSpan>* changed) {
  const int clamped = std::clamp(height, 0, canvas.height());
  const bool same = canvas_ == &canvas && canvasHeight_ == clamped && oneToOne_ &&
                    DeviceSize() == QSize(canvas.width(), clamped);
  canvas_ = &canvas;
  canvasHeight_ = clamped;
  if (changed == nullptr || !same) {
    Rescale();
    return;
  }
  // Painted from the canvas itself: only the rows that changed go to the
  // screen (at a ratio of 1, rows and window pixels are the same), as one
  // region so that the repaint manager is asked once.
  QRegion rows;
  for (const RowSpan& span : *changed) {
    const int top = std::max(span.top, 0);
    const int bottom = std::min(span.bottom, canvasHeight_);
    if (bottom > top) rows += QRect(0, top, width(), bottom - top);
  }
  if (!rows.isEmpty()) update(rows);
}

qreal MonitorWindow::PixelRatio() const {
  return devicePixelRatioF();
}

void MonitorWindow::Rescale() {
  Restretch();
  update();
}

QSize MonitorWindow::DeviceSize() const {
  const qreal ratio = PixelRatio();
  return QSize(static_cast<int>(std::lround(width() * ratio)),
               static_cast<int>(std::lround(height() * ratio)));
}

void MonitorWindow::Restretch() {
  oneToOne_ = false;
  if (canvas_ == nullptr || canvasHeight_ <= 0 || canvas_->width() <= 0 || width() <= 0 ||
      height() <= 0) {
    scaled_.Resize(0, 0);
    return;
  }
  // The window's size in device pixels: the stack is scaled straight to
  // them, so the painter copies it unscaled and nothing smooths it.
  const QSize device = DeviceSize();
  if (device == QSize(canvas_->width(), canvasHeight_)) {
    oneToOne_ = true;  // painted from the canvas itself: no copy at all
    scaled_.Resize(0, 0);
  } else {
    if (scaled_.width() != device.width() || scaled_.height() != device.height())
      scaled_.Resize(device.width(), device.height());
    scaled_.StretchFrom(*canvas_, canvas_->width(), canvasHeight_);
  }
}

QImage MonitorWindow::Shown() const {
  QImage image;
  if (oneToOne_ && canvas_ != nullptr) {
    // The const-data constructor wraps the buffer without copying it.
    image = QImage(reinterpret_cast<const uchar*>(canvas_->data()), canvas_->width(), canvasHeight_,
                   canvas_->width() * 4, QImage::Format_RGB32);
  } else if (scaled_.width() > 0 && scaled_.height() > 0) {
    image = QImage(reinterpret_cast<const uchar*>(scaled_.data()), scaled_.width(),
                   scaled_.height(), scaled_.width() * 4, QImage::Format_RGB32);
  }
  if (!image.isNull()) image.setDevicePixelRatio(PixelRatio());
  return image;
}

QImage MonitorWindow::displayed() const {
  return Shown().copy();
}

void MonitorWindow::SetAlwaysOnTop(bool onTop) {
  const bool wasVisible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (wasVisible) show();  // changing flags hides the window
}

void MonitorWindow::Place(const QRect& geometry) {
  placed_ = geometry.topLeft();
  if (fixedSize_) setFixedSize(geometry.size());
  setGeometry(geometry);
}

bool MonitorWindow::ShownOnScreen() const {
  return isVisible() && !(windowState() & Qt::WindowMinimized);
}

void MonitorWindow::ShowRestored() {
  if (windowState() & Qt::WindowMinimized) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
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

std::uint32_t MonitorWindow::ColourAt(QPointF pos) const {
  // The device pixel under the position: at a ratio of 2 a press at 100.5
  // is device pixel 201, the right half of the stack's pixel 100.
  const qreal ratio = PixelRatio();
  const int x = static_cast<int>(std::floor(pos.x() * ratio));
  const int y = static_cast<int>(std::floor(pos.y() * ratio));
  if (oneToOne_ && canvas_ != nullptr) {
    if (x < 0 || y < 0 || x >= canvas_->width() || y >= canvasHeight_) return 0;
    return canvas_->GetPixel(x, y);
  }
  return scaled_.GetPixel(x, y);
}

void MonitorWindow::SetSize(QSize size) {
  if (fixedSize_) {
    setFixedSize(size);
  } else {
    resize(size);
  }
}

void MonitorWindow::UseSeeThroughVeil() {
  setAttribute(Qt::WA_TranslucentBackground);
  setMouseTracking(true);  // the moves that tell the pointer is really here
}

void MonitorWindow::SetVeiled(bool veiled) {
  if (veiled == veiled_) return;
  veiled_ = veiled;
  update();
}

void MonitorWindow::enterEvent(QEnterEvent*) {
  entered_ = true;
}

void MonitorWindow::leaveEvent(QEvent*) {
  entered_ = false;
  if (!pointerOver_) return;
  pointerOver_ = false;
  if (onPointerOver) onPointerOver(false);
}

void MonitorWindow::paintEvent(QPaintEvent* e) {
  // Moved to a screen of another pixel ratio since the last tick.
  const QSize device = DeviceSize();
  const QSize shown =
      oneToOne_ ? QSize(canvas_->width(), canvasHeight_) : QSize(scaled_.width(), scaled_.height());
  if (canvas_ != nullptr && canvasHeight_ > 0 && shown != device) Restretch();
  QPainter p(this);
  if (veiled_) {
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(e->rect(), Qt::transparent);
    return;
  }
  const QImage image = Shown();
  if (image.isNull()) {
    p.fillRect(e->rect(), Qt::black);
    return;
  }
  // Only the exposed part; the image matches the device pixels, so this is
  // a plain copy.
  p.drawImage(e->rect(), image,
              QRectF(e->rect().topLeft() * PixelRatio(), e->rect().size() * PixelRatio()));
}

Qt::Edges MonitorWindow::EdgesAt(QPoint pos) const {
  Qt::Edges edges;
  if (!resizable_) return edges;
  if (pos.x() >= width() - kResizeBorder) edges |= Qt::RightEdge;
  if (pos.y() >= height() - kResizeBorder) edges |= Qt::BottomEdge;
  return edges;
}

void MonitorWindow::mousePressEvent(QMouseEvent* e) {
  hadPress_ = true;
  const Qt::MouseButtons buttons = e->buttons();
  const MonitorPress press = PressOnMonitor(buttons & Qt::LeftButton, buttons & Qt::RightButton,
                                            buttons & Qt::MiddleButton);
  if (press.menu) {
    if (onRightPress) onRightPress(e->globalPosition().toPoint());
    return;
  }
  if (!press.drag) return;
  if (veiled_) return;  // nothing to see, so nothing to drag or switch

  const QPoint pos = e->position().toPoint();
  const bool toggle = press.toggle;
  // The window-relative position keeps its fraction at a pixel ratio of 2
  // (device pixel 253 is 126.5), where position() arrives rounded.
  pressColour_ = ColourAt(e->scenePosition());
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
  if (entered_ && !pointerOver_) {
    pointerOver_ = true;
    if (onPointerOver) onPointerOver(true);
  }
  const QPoint delta = e->globalPosition().toPoint() - pressGlobal_;
  if (drag_ == Drag::kManualMove) {
    move(pressGeometry_.topLeft() + delta);
  } else if (drag_ == Drag::kManualResize) {
    QSize s = pressGeometry_.size();
    if (resizeEdges_ & Qt::RightEdge) s.setWidth(std::max(1, s.width() + delta.x()));
    if (resizeEdges_ & Qt::BottomEdge) s.setHeight(std::max(1, s.height() + delta.y()));
    SetSize(s);
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
