// The notification-area icon. A left or a right press asks for the popup
// menu.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSystemTrayIcon>
#include <functional>

namespace mirel {

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  explicit TrayIcon(QObject* parent = nullptr);

  void Add(const QString& tip);  // shows the icon with its tip
  void Remove();                 // takes it out of the notification area

  // A press that opens the menu, with the cursor position.
  std::function<void(QPoint globalPos)> onMenuRequested;

  QSystemTrayIcon& icon() { return icon_; }
  // Whether an activation reason opens the menu (left or right press).
  static bool OpensMenu(QSystemTrayIcon::ActivationReason reason);

 private:
  QSystemTrayIcon icon_;
};

}  // namespace mirel
