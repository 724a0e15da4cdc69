// The window the user sees: the composed strips stretched onto a frameless,
// caption-less window without a task-bar entry. Mouse: left press drags (and,
// on a "変更" button, toggles after the drag), right press opens the menu.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "drawing/canvas.h"
#include "drawing/graph.h"
#include "settings/settings_model.h"

namespace mirel {

class MonitorWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MonitorWindow(QWidget* parent = nullptr);

  // Shows the top `height` rows of canvas stretched to the window. The canvas
  // is painted from directly where it fits the window pixel for pixel, so it
  // must outlive the next call and change only before the next call. With
  // changed given (the rows that differ from the last call's canvas), only
  // those rows are repainted where that is possible.
  void ShowCanvas(const Canvas& canvas, int height, const std::vector<RowSpan>* changed = nullptr);
  // Rebuilds the displayed image from the last canvas (after a resize or a
  // change of the device pixel ratio).
  void Rescale();

  void SetAlwaysOnTop(bool onTop);
  // Where the window manager cannot be asked for a place (natively on
  // Wayland), a fixed size: tiling compositors then float the window.
  void SetFixedSizeHints(bool fixed) { fixedSize_ = fixed; }

  // Where the cursor position cannot be read, the mouse-over mode clears the
  // window instead of hiding it: it stays, and its leave event brings the
  // picture back. Call before the window is first shown (it needs a surface
  // with an alpha channel).
  void UseSeeThroughVeil();
  void SetVeiled(bool veiled);
  bool veiled() const { return veiled_; }
  // Whether a button was ever pressed on the window: natively on Wayland only
  // then can a menu open as its popup.
  bool hadPress() const { return hadPress_; }
  // In the resizable mode the lower and right edges resize the window.
  void SetResizable(bool resizable) { resizable_ = resizable; }

  // Position and size; also remembered as the place asked for.
  void Place(const QRect& geometry);
  // Only the size (a fixed one where the window has fixed size hints).
  void SetSize(QSize size);
  // Re-applies the position of the last Place after show():
  // some window managers move a window that is shown at negative coordinates.
  void ReapplyPosition();

  // Shown and not minimised: what the user can see of it, whatever covers it.
  bool ShownOnScreen() const;
  // Shows the window, restoring it first when it is minimised.
  void ShowRestored();

  // The colour value (0x00BBGGRR) of the displayed pixel at a window
  // position (device-independent pixels, as mouse events give them).
  std::uint32_t ColourAt(QPointF pos) const;
  // What the window shows, in device pixels (a copy, for inspection).
  QImage displayed() const;

  // Left press released (after any drag), with the colour under the press.
  std::function<void(std::uint32_t colour)> onLeftClick;
  std::function<void(QPoint globalPos)> onRightPress;
  // Moved or resized by the user or the window manager.
  std::function<void()> onGeometryChanged;
  std::function<void()> onClose;
  // The pointer came onto (true) or left (false) the window. Onto means it
  // moved there: an X server of XWayland sends an enter for a window mapped
  // under the pointer's last known place even when the pointer is elsewhere.
  std::function<void(bool over)> onPointerOver;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent*) override;
  void moveEvent(QMoveEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  enum class Drag { kNone, kSystem, kManualMove, kManualResize };
  Qt::Edges EdgesAt(QPoint pos) const;

  // The image painted: the canvas itself when it fits the window's device
  // pixels one to one, else scaled_. Wraps, never copies.
  QImage Shown() const;
  qreal PixelRatio() const;
  QSize DeviceSize() const;
  void Restretch();

  const Canvas* canvas_ = nullptr;
  int canvasHeight_ = 0;
  bool oneToOne_ = false;
  // The stack scaled to the window's device pixels with nearest-neighbour
  // sampling; kept between ticks so that no tick allocates.
  Canvas scaled_;
  bool resizable_ = true;
  bool fixedSize_ = false;
  bool veiled_ = false;
  bool hadPress_ = false;
  bool entered_ = false;
  bool pointerOver_ = false;
  QPoint placed_;  // the position asked for

  Drag drag_ = Drag::kNone;
  std::uint32_t pressColour_ = 0;
  QPoint pressGlobal_;
  QRect pressGeometry_;
  Qt::Edges resizeEdges_;
};

}  // namespace mirel
