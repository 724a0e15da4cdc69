// The window the user sees: the composed strips stretched onto a frameless,
// caption-less window without a task-bar entry. Mouse: left press drags (and,
// on a "変更" button, toggles after the drag), right press opens the menu.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "app/settings_model.h"
#include "monitor/canvas.h"

namespace mirel {

class MonitorWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MonitorWindow(QWidget* parent = nullptr);

  // Shows the top `height` rows of canvas stretched to the window. The canvas
  // is wrapped, not copied, and must outlive the next call.
  void ShowCanvas(const Canvas& canvas, int height);
  // Rebuilds the displayed image from the last canvas (after a resize).
  void Rescale();

  void SetAlwaysOnTop(bool onTop);
  // In the resizable mode the lower and right edges resize the window.
  void SetResizable(bool resizable) { resizable_ = resizable; }

  // The settings file holds the outer size of a window with a thin border;
  // this window has none, so that border is taken off: 2496 twips wide is
  // the 158 pixels of the stack, and 15 × h + 128 twips high is h pixels.
  static constexpr int kBorderWidthTwips = 126;
  static constexpr int kBorderHeightTwips = 128;

  // Position and size from twips (15 per pixel).
  void ApplyGeometryTwips(const DisplayGeometry& g);
  // The window's position and size as the settings file stores them.
  DisplayGeometry GeometryTwips() const;
  // A window that lies wholly outside every screen (a monitor that is gone
  // since the settings were saved) comes back to the primary screen's corner.
  // Returns whether it moved.
  bool KeepOnAScreen();
  // Fits the window to the canvas pixel for pixel.
  void FitToCanvas(int height);
  // Re-applies the position of the last ApplyGeometryTwips after show():
  // some window managers move a window that is shown at negative coordinates.
  void ReapplyPosition();

  // The colour value (0x00BBGGRR) of the displayed pixel at a window position.
  std::uint32_t ColourAt(QPoint pos) const;
  const QImage& displayed() const { return scaled_; }

  // Left press released (after any drag), with the colour under the press.
  std::function<void(std::uint32_t colour)> onLeftClick;
  std::function<void(QPoint globalPos)> onRightPress;
  // Moved or resized by the user or the window manager.
  std::function<void()> onGeometryChanged;
  std::function<void()> onClose;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent*) override;
  void moveEvent(QMoveEvent*) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  enum class Drag { kNone, kSystem, kManualMove, kManualResize };
  Qt::Edges EdgesAt(QPoint pos) const;

  const Canvas* canvas_ = nullptr;
  int canvasHeight_ = 0;
  QImage scaled_;
  bool resizable_ = true;
  QPoint placed_;  // position from the settings

  Drag drag_ = Drag::kNone;
  std::uint32_t pressColour_ = 0;
  QPoint pressGlobal_;
  QRect pressGeometry_;
  Qt::Edges resizeEdges_;
};

int TwipsToPixels(int twips);

}  // namespace mirel
