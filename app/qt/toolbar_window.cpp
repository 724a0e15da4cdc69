#include "app/qt/toolbar_window.h"

#include "app/settings_model.h"
#include "browser_control/qt/monitor_window.h"

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
  // Window managers tend to pull a new window onto the screen.
  move(TwipsToPixels(kLeftTwips), TwipsToPixels(kTopTwips));
}

}  // namespace mirel
