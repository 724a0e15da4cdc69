#include "shell/qt/popup_menu_qt.h"

#include <QAction>

namespace mirel {

PopupMenuQt::PopupMenuQt(PopupMenuHooks hooks, QObject* parent)
    : QObject(parent), hooks_(std::move(hooks)), menu_(new QMenu) {
  menu_->setObjectName("mnuPop");
  options_ = menu_->addAction(QStringLiteral("オプション"));
  options_->setObjectName("option");
  ipCopy_ = menu_->addAction(QStringLiteral("ＩＰアドレスコピー"));
  ipCopy_->setObjectName("ipc");
  proxyMenu_ = menu_->addMenu(QStringLiteral("プロキシ"));
  proxyMenu_->setObjectName("prox");
  menu_->addSeparator()->setObjectName("line1");
  exit_ = menu_->addAction(QStringLiteral("終了"));
  exit_->setObjectName("en");

  connect(options_, &QAction::triggered, this, [this] {
    if (hooks_.options) hooks_.options();
  });
  connect(ipCopy_, &QAction::triggered, this, [this] {
    if (hooks_.copyIp) hooks_.copyIp();
  });
  connect(exit_, &QAction::triggered, this, [this] {
    if (hooks_.exit) hooks_.exit();
  });
}

PopupMenuQt::~PopupMenuQt() {
  delete menu_;
}

void PopupMenuQt::Rebuild() {
  ipCopy_->setVisible(!hooks_.ipCopyVisible || hooks_.ipCopyVisible());
  proxyMenu_->menuAction()->setVisible(!hooks_.proxyVisible || hooks_.proxyVisible());

  // Every opening starts from an empty submenu, so an entry removed from the
  // proxy list in the dialog never lingers here.
  for (QAction* a : proxyMenu_->actions()) {
    proxyMenu_->removeAction(a);
    a->deleteLater();
  }
  std::vector<ProxyMenuItem> items;
  if (hooks_.proxyItems) items = hooks_.proxyItems();
  if (items.empty()) items.push_back({"使用しない", true});
  for (std::size_t k = 0; k < items.size(); ++k) {
    // A "&" in a server text is shown, not taken as a mnemonic.
    QString caption = QString::fromStdString(items[k].caption);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* a = proxyMenu_->addAction(caption);
    a->setObjectName(QStringLiteral("pro_%1").arg(k));
    a->setCheckable(true);
    a->setChecked(items[k].checked);
    const int index = static_cast<int>(k);
    const std::string text = items[k].caption;
    connect(a, &QAction::triggered, this, [this, index, text] {
      if (hooks_.proxyChosen) hooks_.proxyChosen(index, text);
    });
  }
  loadedCount_ = static_cast<int>(items.size()) - 1;
}

void PopupMenuQt::Popup(QPoint globalPos) {
  Rebuild();
  menu_->popup(globalPos);
}

}  // namespace mirel
