#include "shell/qt/popup_menu_qt.h"

#include <QAction>

namespace mirel {

PopupMenuQt::PopupMenuQt(std::function<void(int id)> chosen, QObject* parent)
    : QObject(parent), chosen_(std::move(chosen)), menu_(new QMenu) {}

PopupMenuQt::~PopupMenuQt() {
  delete menu_;
}

void PopupMenuQt::Build(const MenuModel& model) {
  // Every opening starts from an empty menu, so an entry that is gone (a
  // proxy removed in the dialog) never lingers.
  // Deleted later, as Build may run while an old entry is being handled;
  // taken off the menu's children at once, so nothing finds them meanwhile.
  for (QAction* a : menu_->actions()) {
    menu_->removeAction(a);
    QObject* old =
        a->menu() ? static_cast<QObject*>(a->menu()) : a;  // a submenu takes its action along
    old->setParent(nullptr);
    old->deleteLater();
  }
  for (const MenuEntry& entry : model.entries) Add(menu_, entry);
}

void PopupMenuQt::Add(QMenu* into, const MenuEntry& entry) {
  if (!entry.visible) return;
  QAction* action = nullptr;
  switch (entry.kind) {
    case MenuEntry::Kind::kSeparator:
      action = into->addSeparator();
      break;
    case MenuEntry::Kind::kSubmenu: {
      QMenu* submenu = into->addMenu(QString::fromStdString(entry.caption));
      submenu->setObjectName(QString::fromStdString(entry.name));
      for (const MenuEntry& inner : entry.entries) Add(submenu, inner);
      action = submenu->menuAction();
      break;
    }
    case MenuEntry::Kind::kCommand: {
      // A "&" in a server text is shown, not taken as a mnemonic.
      QString caption = QString::fromStdString(entry.caption);
      caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
      action = into->addAction(caption);
      action->setCheckable(entry.checkable);
      action->setChecked(entry.checked);
      const int id = entry.id;
      connect(action, &QAction::triggered, this, [this, id] { chosen_(id); });
      break;
    }
  }
  action->setObjectName(QString::fromStdString(entry.name));
}

void PopupMenuQt::Popup(const MenuModel& model, QPoint globalPos) {
  Build(model);
  menu_->popup(globalPos);
}

}  // namespace mirel
