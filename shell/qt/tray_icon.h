// The notification-area icon. A left or a right press opens the popup menu;
// the icon is removed first thing at exit.
//
// Where a StatusNotifierItem watcher is on the session bus (KDE Plasma,
// sway's and other bars, GNOME with the AppIndicator extension) the icon is
// the program's own item (status_notifier_item.h), which passes on where the
// host wants the menu; elsewhere Qt's icon (an XEmbed tray on X11). A watcher
// that appears later takes the icon over.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

namespace mirel {

class StatusNotifierItem;

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  explicit TrayIcon(QObject* parent = nullptr);
  ~TrayIcon() override;

  void Add();     // shows the icon with its tip
  void Remove();  // takes it out of the notification area

  // Whether some tray shows the icon now.
  bool Shown() const;
  // A short message from the icon (a traffic limit's notice): the desktop's
  // notifications where the icon is our StatusNotifierItem, else the Qt
  // icon's balloon. False where neither can show it.
  bool Notify(const QString& title, const QString& text);

  // A press that opens the menu, with the position for it: the host's (in
  // Qt's pixels) or the cursor's.
  std::function<void(QPoint globalPos)> onMenuRequested;
  // A tray came or went.
  std::function<void()> onTrayChanged;

  QSystemTrayIcon& icon() { return icon_; }
  // Whether an activation reason opens the menu (left or right press).
  static bool OpensMenu(QSystemTrayIcon::ActivationReason reason);

 private:
  void Choose();

  QSystemTrayIcon icon_;
  std::unique_ptr<StatusNotifierItem> item_;
  bool added_ = false;
};

}  // namespace mirel
