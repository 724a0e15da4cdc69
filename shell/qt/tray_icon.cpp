#include "shell/qt/tray_icon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cmath>

#include "behaviour/autostart.h"
#include "settings/settings_model.h"
#if defined(MIREL_HAVE_SNI)
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "shell/qt/status_notifier_item.h"
#endif

// The resources are compiled into a static library, whose initialiser the
// linker drops unless something refers to it.
static void InitResources() {
  Q_INIT_RESOURCE(mirel9x);
}

namespace mirel {

namespace {

// A host passes the screen's pixels; Qt's are device-independent.
QPoint FromHostPixels(QPoint at) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  for (const QScreen* s : QGuiApplication::screens()) {
    const qreal r = s->devicePixelRatio();
    const QRect g = s->geometry();
    const QRect device(g.topLeft(), g.size() * r);
    if (device.contains(at)) screen = s;
  }
  const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  if (ratio == 1.0 || screen == nullptr) return at;
  const QPoint origin = screen->geometry().topLeft();
  return origin + QPoint(static_cast<int>(std::lround((at.x() - origin.x()) / ratio)),
                         static_cast<int>(std::lround((at.y() - origin.y()) / ratio)));
}

}  // namespace

TrayIcon::TrayIcon(QObject* parent) : QObject(parent), icon_(this) {
  InitResources();
  // Read as PNG by name: left to guess, Qt would load every image format
  // plug-in and the icon engines first, a few milliseconds of every start.
  const QImage image(QStringLiteral(":/icons/mirel9x.png"), "PNG");
  icon_.setIcon(QIcon(QPixmap::fromImage(image)));
  icon_.setToolTip(QString::fromUtf8(kProgramTitle));
  // No context menu is attached: Qt would then open it by itself on a right
  // press, while the left press would not. Both reach the menu through here.
  connect(&icon_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (OpensMenu(reason) && onMenuRequested) onMenuRequested(QCursor::pos());
          });
#if defined(MIREL_HAVE_SNI)
  item_ = std::make_unique<StatusNotifierItem>(image, QString::fromUtf8(kProgramTitle));
  item_->onMenuRequested = [this](QPoint at) {
    if (onMenuRequested) onMenuRequested(FromHostPixels(at));
  };
  item_->onHostChanged = [this] {
    Choose();
    if (onTrayChanged) onTrayChanged();
  };
#endif
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::OpensMenu(QSystemTrayIcon::ActivationReason reason) {
  return reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context;
}

void TrayIcon::Add() {
  added_ = true;
#if defined(MIREL_HAVE_SNI)
  // Registered in any case: a watcher that starts later takes it over.
  item_->Register();
#endif
  Choose();
}

void TrayIcon::Remove() {
  added_ = false;
  icon_.hide();
#if defined(MIREL_HAVE_SNI)
  item_->Unregister();
#endif
}

// Qt's icon only where no StatusNotifierItem host shows ours, so no tray
// shows it twice.
void TrayIcon::Choose() {
  if (!added_) return;
#if defined(MIREL_HAVE_SNI)
  if (item_->HostPresent()) {
    icon_.hide();
    return;
  }
#endif
  icon_.show();
}

bool TrayIcon::Shown() const {
#if defined(MIREL_HAVE_SNI)
  if (item_->HostPresent()) return true;
#endif
  return icon_.isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::Notify(const QString& title, const QString& text) {
#if defined(MIREL_HAVE_SNI)
  if (item_->HostPresent()) {
    // A StatusNotifierItem has no balloon of its own: its hosts show the
    // desktop's notifications.
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    if (!bus.interface() || !bus.interface()->isServiceRegistered(service)) return false;
    QDBusMessage notify =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                       service, QStringLiteral("Notify"));
    notify << QString::fromUtf8(kProgramTitle) << 0u << QString::fromUtf8(kAppId) << title << text
           << QStringList() << QVariantMap() << -1;
    return bus.send(notify);  // no wait for the reply
  }
#endif
  if (!icon_.isVisible() || !QSystemTrayIcon::supportsMessages()) return false;
  icon_.showMessage(title, text, QSystemTrayIcon::Warning);
  return true;
}

}  // namespace mirel
