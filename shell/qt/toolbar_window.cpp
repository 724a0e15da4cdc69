#include "shell/qt/toolbar_window.h"

#include <QTimer>

#include "settings/settings_model.h"
#include "shell/qt/monitor_window.h"

namespace mirel {

ToolbarWindow::ToolbarWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("Form5");
  setWindowTitle(QString::fromUtf8(kProgramTitle));
  setGeometry(TwipsToPixels(kLeftTwips), TwipsToPixels(kTopTwips), TwipsToPixels(kWidthTwips),
              TwipsToPixels(kHeightTwips));
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
  if (isVisible()) move(TwipsToPixels(kLeftTwips), TwipsToPixels(kTopTwips));
}

}  // namespace mirel
