#include "shell/qt/tray_icon.h"

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

// The resources are compiled into a static library, whose initialiser the
// linker drops unless something refers to it.
static void InitResources() {
  Q_INIT_RESOURCE(mirel9x);
}

namespace mirel {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent), icon_(this) {
  InitResources();
  // Read as PNG by name: left to guess, Qt would load every image format
  // plug-in and the icon engines first, a few milliseconds of every start.
  icon_.setIcon(QIcon(QPixmap::fromImage(QImage(QStringLiteral(":/icons/mirel9x.png"), "PNG"))));
  // No context menu is attached: Qt would then open it by itself on a right
  // press, while the left press would not. Both reach the menu through here.
  connect(&icon_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (OpensMenu(reason) && onMenuRequested) onMenuRequested(QCursor::pos());
          });
}

bool TrayIcon::OpensMenu(QSystemTrayIcon::ActivationReason reason) {
  return reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context;
}

void TrayIcon::Add(const QString& tip) {
  icon_.setToolTip(tip);
  icon_.show();
}

void TrayIcon::Remove() {
  icon_.hide();
}

}  // namespace mirel
