#include "shell/qt/status_notifier_item.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QtEndian>

namespace mirel {

QDBusArgument& operator<<(QDBusArgument& arg, const SniPixmap& p) {
  arg.beginStructure();
  arg << p.width << p.height << p.argb;
  arg.endStructure();
  return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, SniPixmap& p) {
  arg.beginStructure();
  arg >> p.width >> p.height >> p.argb;
  arg.endStructure();
  return arg;
}
QDBusArgument& operator<<(QDBusArgument& arg, const SniToolTip& t) {
  arg.beginStructure();
  arg << t.iconName << t.pixmaps << t.title << t.text;
  arg.endStructure();
  return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, SniToolTip& t) {
  arg.beginStructure();
  arg >> t.iconName >> t.pixmaps >> t.title >> t.text;
  arg.endStructure();
  return arg;
}

namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kItemPath = "/StatusNotifierItem";

// The icon in the sizes trays draw, each ARGB32 in network byte order.
QList<SniPixmap> PixmapsOf(const QImage& icon) {
  QList<SniPixmap> out;
  if (icon.isNull()) return out;
  for (int size : {16, 22, 32, 48}) {
    const QImage image = icon.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_ARGB32);
    SniPixmap p{image.width(), image.height(), {}};
    p.argb.resize(image.width() * image.height() * 4);
    auto* to = reinterpret_cast<quint32*>(p.argb.data());
    for (int y = 0; y < image.height(); ++y) {
      const auto* from = reinterpret_cast<const quint32*>(image.constScanLine(y));
      for (int x = 0; x < image.width(); ++x) *to++ = qToBigEndian(from[x]);
    }
    out.push_back(p);
  }
  return out;
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(const QImage& icon, const QString& tip, QObject* parent)
    : QObject(parent), tip_(tip), pixmaps_(PixmapsOf(icon)) {
  qDBusRegisterMetaType<SniPixmap>();
  qDBusRegisterMetaType<QList<SniPixmap>>();
  qDBusRegisterMetaType<SniToolTip>();
  new StatusNotifierItemAdaptor(this);
}

StatusNotifierItem::~StatusNotifierItem() {
  Unregister();
}

bool StatusNotifierItem::Register() {
  if (registered_) return true;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  // One name per process, as the protocol asks.
  service_ =
      QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
  if (!bus.registerService(service_)) return false;
  if (!bus.registerObject(QString::fromLatin1(kItemPath), this, QDBusConnection::ExportAdaptors)) {
    bus.unregisterService(service_);
    return false;
  }
  registered_ = true;
  // A tray that starts (or restarts) later brings a new watcher: register
  // with it then, so the icon shows up there.
  watcher_ = std::make_unique<QDBusServiceWatcher>(QString::fromLatin1(kWatcher), bus,
                                                   QDBusServiceWatcher::WatchForOwnerChange);
  connect(watcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
          [this](const QString&, const QString&, const QString& newOwner) {
            if (!newOwner.isEmpty()) RegisterWithWatcher();
            if (onHostChanged) onHostChanged();
          });
  WatchHosts();
  RegisterWithWatcher();
  return true;
}

void StatusNotifierItem::WatchHosts() {
  if (hostsWatched_) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
    bus.connect(QString::fromLatin1(kWatcher), QString::fromLatin1(kWatcherPath),
                QString::fromLatin1(kWatcher), QString::fromLatin1(signal), this,
                SLOT(HostsChanged()));
  }
  hostsWatched_ = true;
}

void StatusNotifierItem::HostsChanged() {
  if (onHostChanged) onHostChanged();
}

void StatusNotifierItem::RegisterWithWatcher() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kWatcher), QString::fromLatin1(kWatcherPath),
      QString::fromLatin1(kWatcher), QStringLiteral("RegisterStatusNotifierItem"));
  call << service_;
  QDBusConnection::sessionBus().asyncCall(call);
}

void StatusNotifierItem::Unregister() {
  if (!registered_) return;
  registered_ = false;
  watcher_.reset();
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterObject(QString::fromLatin1(kItemPath));
  // The watcher drops the item when its name goes.
  bus.unregisterService(service_);
}

bool StatusNotifierItem::HostPresent() const {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()->isServiceRegistered(QString::fromLatin1(kWatcher)))
    return false;
  QDBusMessage get = QDBusMessage::createMethodCall(
      QString::fromLatin1(kWatcher), QString::fromLatin1(kWatcherPath),
      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get << QString::fromLatin1(kWatcher) << QStringLiteral("IsStatusNotifierHostRegistered");
  const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, 2000);
  return reply.isValid() && reply.value().variant().toBool();
}

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem* item)
    : QDBusAbstractAdaptor(item), item_(item) {}

SniToolTip StatusNotifierItemAdaptor::toolTip() const {
  return SniToolTip{{}, {}, item_->tip(), {}};
}

// A left click opens the same menu as a right one.
void StatusNotifierItemAdaptor::ContextMenu(int x, int y) {
  if (item_->onMenuRequested) item_->onMenuRequested(QPoint(x, y));
}

void StatusNotifierItemAdaptor::Activate(int x, int y) {
  ContextMenu(x, y);
}

void StatusNotifierItemAdaptor::SecondaryActivate(int, int) {}
void StatusNotifierItemAdaptor::Scroll(int, const QString&) {}
void StatusNotifierItemAdaptor::ProvideXdgActivationToken(const QString&) {}

}  // namespace mirel
