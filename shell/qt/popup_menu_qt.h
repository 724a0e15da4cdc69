// The popup menu of the tray icon and of the monitor window: "オプション",
// "ＩＰアドレスコピー", the "プロキシ" submenu, a separator and "終了". Each
// owner has its own instance, so each keeps its own count of loaded proxy
// entries. The proxy entries are rebuilt from the hooks on every opening.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <functional>
#include <string>
#include <vector>

namespace mirel {

struct ProxyMenuItem {
  std::string caption;
  bool checked = false;
};

struct PopupMenuHooks {
  // Index 0 is "使用しない", then one entry per proxy list entry, marked.
  std::function<std::vector<ProxyMenuItem>()> proxyItems;
  std::function<void(int index, const std::string& caption)> proxyChosen;
  std::function<void()> options;
  std::function<void()> copyIp;
  std::function<void()> exit;
  // Visibility of "ＩＰアドレスコピー" and "プロキシ", read on every opening.
  std::function<bool()> ipCopyVisible;
  std::function<bool()> proxyVisible;
};

class PopupMenuQt : public QObject {
  Q_OBJECT

 public:
  explicit PopupMenuQt(PopupMenuHooks hooks, QObject* parent = nullptr);
  ~PopupMenuQt() override;

  // Refreshes the proxy entries and the visibility, as every opening does.
  void Rebuild();
  // Rebuilds, then shows the menu at a screen position without blocking.
  void Popup(QPoint globalPos);

  QMenu* menu() { return menu_; }
  QMenu* proxyMenu() { return proxyMenu_; }
  QAction* optionsAction() { return options_; }
  QAction* ipCopyAction() { return ipCopy_; }
  QAction* exitAction() { return exit_; }
  int loadedEntryCount() const { return loadedCount_; }

 private:
  PopupMenuHooks hooks_;
  QMenu* menu_;
  QMenu* proxyMenu_;
  QAction* options_;
  QAction* ipCopy_;
  QAction* exit_;
  int loadedCount_ = 0;
};

}  // namespace mirel
