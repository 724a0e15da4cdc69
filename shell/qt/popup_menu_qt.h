// A popup menu built from the behaviour's menu model (behaviour/popup_menu.h)
// on every opening, with one loop that knows nothing of the entries. The
// chosen entry's id goes back through `chosen`.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <functional>

#include "behaviour/popup_menu.h"

namespace mirel {

class PopupMenuQt : public QObject {
  Q_OBJECT

 public:
  explicit PopupMenuQt(std::function<void(int id)> chosen, QObject* parent = nullptr);
  ~PopupMenuQt() override;

  // Replaces every entry with those of `model`; invisible ones are left out.
  void Build(const MenuModel& model);
  // Builds, then shows the menu at a screen position without blocking.
  void Popup(const MenuModel& model, QPoint globalPos);

  QMenu* menu() { return menu_; }

 private:
  void Add(QMenu* into, const MenuEntry& entry);

  std::function<void(int id)> chosen_;
  QMenu* menu_;
};

}  // namespace mirel
