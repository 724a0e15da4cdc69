#include "shell/qt/toolbar_window.h"

#include <QTimer>

#include "behaviour/monitor_geometry.h"
#include "settings/settings_model.h"

namespace mirel {

ToolbarWindow::ToolbarWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("Form5");
  setWindowTitle(QString::fromUtf8(kProgramTitle));
  const PixelRect r = ToolbarWindowRect();
  setGeometry(r.x, r.y, r.width, r.height);
}

void ToolbarWindow::SetCaption(const std::string& caption) {
  const QString text = QString::fromStdString(caption);
  if (windowTitle() != text) setWindowTitle(text);
}

void ToolbarWindow::SetShown(bool shown) {
  if (shown == isVisible()) return;
  if (!shown) {
    hide();
    return;
  }
  show();
  PlaceOffScreen();
  // Window managers pull a newly mapped window onto the screen; once it is
  // managed, most of them let it move off again.
  QTimer::singleShot(300, this, [this] { PlaceOffScreen(); });
}

void ToolbarWindow::PlaceOffScreen() {
  const PixelRect r = ToolbarWindowRect();
  if (isVisible()) move(r.x, r.y);
}

}  // namespace mirel
