// The tray icon as a StatusNotifierItem of its own, on the session bus: the
// tray of KDE Plasma, of sway's and other bars, of GNOME's AppIndicator
// extension. Qt's own item passes a host's ContextMenu(x, y) and Activate(x,
// y) on without the position, so its menu opened wherever the pointer was
// last seen (through XWayland) or as a window of its own (natively); this one
// hands the position over. It also registers again whenever a watcher
// appears, so the icon shows up when a tray starts after the program.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace mirel {

struct SniPixmap {
  int width = 0;
  int height = 0;
  QByteArray argb;  // ARGB32, network byte order
};
struct SniToolTip {
  QString iconName;
  QList<SniPixmap> pixmaps;
  QString title;
  QString text;
};

class StatusNotifierItem : public QObject {
  Q_OBJECT

 public:
  StatusNotifierItem(const QImage& icon, const QString& tip, QObject* parent = nullptr);
  ~StatusNotifierItem() override;

  // Claims the item's name and registers it with the watcher, now and
  // whenever a watcher appears later. false without a session bus.
  bool Register();
  void Unregister();
  // Whether a tray shows the item now: a watcher is there and it has a host.
  bool HostPresent() const;

  // A click of the host: its ContextMenu or Activate, at the position it
  // passed (the screen's pixels, as the host sees them).
  std::function<void(QPoint hostPos)> onMenuRequested;
  // A watcher or a host came or went.
  std::function<void()> onHostChanged;

  // The adaptor's view.
  QString serviceName() const { return service_; }
  const QList<SniPixmap>& pixmaps() const { return pixmaps_; }
  const QString& tip() const { return tip_; }
  bool registered() const { return registered_; }

 private slots:
  void HostsChanged();

 private:
  void RegisterWithWatcher();
  void WatchHosts();

  QString service_;
  QString tip_;
  QList<SniPixmap> pixmaps_;
  bool registered_ = false;
  bool hostsWatched_ = false;
  std::unique_ptr<QDBusServiceWatcher> watcher_;
};

// org.kde.StatusNotifierItem on the item's object path.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
  Q_PROPERTY(QString Category READ category)
  Q_PROPERTY(QString Id READ id)
  Q_PROPERTY(QString Title READ title)
  Q_PROPERTY(QString Status READ status)
  Q_PROPERTY(int WindowId READ windowId)
  Q_PROPERTY(QString IconName READ iconName)
  Q_PROPERTY(QList<mirel::SniPixmap> IconPixmap READ iconPixmap)
  Q_PROPERTY(QString OverlayIconName READ emptyName)
  Q_PROPERTY(QList<mirel::SniPixmap> OverlayIconPixmap READ noPixmaps)
  Q_PROPERTY(QString AttentionIconName READ emptyName)
  Q_PROPERTY(QList<mirel::SniPixmap> AttentionIconPixmap READ noPixmaps)
  Q_PROPERTY(QString AttentionMovieName READ emptyName)
  Q_PROPERTY(mirel::SniToolTip ToolTip READ toolTip)
  Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
  Q_PROPERTY(QDBusObjectPath Menu READ menu)

 public:
  explicit StatusNotifierItemAdaptor(StatusNotifierItem* item);

  QString category() const { return QStringLiteral("ApplicationStatus"); }
  QString id() const { return QStringLiteral("mirel9x"); }
  QString title() const { return item_->tip(); }
  QString status() const { return QStringLiteral("Active"); }
  int windowId() const { return 0; }
  QString iconName() const { return {}; }
  QList<SniPixmap> iconPixmap() const { return item_->pixmaps(); }
  QString emptyName() const { return {}; }
  QList<SniPixmap> noPixmaps() const { return {}; }
  SniToolTip toolTip() const;
  bool itemIsMenu() const { return false; }
  // No exported menu: a host then asks for ours with ContextMenu(x, y).
  QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")); }

 public slots:
  void ContextMenu(int x, int y);
  void Activate(int x, int y);
  void SecondaryActivate(int x, int y);
  void Scroll(int delta, const QString& orientation);
  void ProvideXdgActivationToken(const QString& token);

 signals:
  void NewTitle();
  void NewIcon();
  void NewToolTip();
  void NewStatus(const QString& status);

 private:
  StatusNotifierItem* item_;
};

}  // namespace mirel

Q_DECLARE_METATYPE(mirel::SniPixmap)
Q_DECLARE_METATYPE(mirel::SniToolTip)
