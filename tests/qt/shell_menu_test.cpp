// A menu model turned into a QMenu: entries in order, separators and
// submenus, invisible entries left out, marks, the chosen id handed back,
// nothing left of the previous opening; and the tray icon's presses.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "shell/qt/popup_menu_qt.h"
#include "shell/qt/tray_icon.h"

namespace mirel {
namespace {

QStringList Captions(QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) {
    QString text = a->isSeparator() ? QStringLiteral("-") : a->text();
    if (a->isChecked()) text += "*";
    out << text;
  }
  return out;
}

MenuEntry Command(int id, const char* name, const char* caption, bool checked = false) {
  MenuEntry e;
  e.id = id;
  e.name = name;
  e.caption = caption;
  e.checkable = checked;
  e.checked = checked;
  return e;
}

MenuModel Model(std::vector<std::string> proxies, bool ipVisible) {
  MenuModel m;
  m.entries.push_back(Command(1, "option", "オプション"));
  m.entries.push_back(Command(2, "ipc", "ＩＰアドレスコピー"));
  m.entries.back().visible = ipVisible;
  MenuEntry sub;
  sub.kind = MenuEntry::Kind::kSubmenu;
  sub.name = "prox";
  sub.caption = "プロキシ";
  int id = 10;
  for (const std::string& p : proxies) {
    sub.entries.push_back(Command(id, "pro", p.c_str(), id == 11));
    ++id;
  }
  m.entries.push_back(sub);
  MenuEntry line;
  line.kind = MenuEntry::Kind::kSeparator;
  line.name = "line1";
  m.entries.push_back(line);
  m.entries.push_back(Command(3, "en", "終了"));
  return m;
}

TEST(ShellMenuTest, TheModelBecomesTheMenuAndTheChosenIdComesBack) {
  std::vector<int> chosen;
  PopupMenuQt menu([&](int id) { chosen.push_back(id); });
  menu.Build(Model({"使用しない", "a&b:80", "other:3128"}, true));
  EXPECT_EQ(Captions(menu.menu()),
            (QStringList{"オプション", "ＩＰアドレスコピー", "プロキシ", "-", "終了"}));
  QMenu* proxies = menu.menu()->findChild<QMenu*>("prox");
  ASSERT_NE(proxies, nullptr);
  // A "&" in a server text is shown, not taken as a mnemonic.
  EXPECT_EQ(Captions(proxies), (QStringList{"使用しない", "a&&b:80*", "other:3128"}));
  EXPECT_FALSE(proxies->actions().at(0)->isCheckable());
  proxies->actions().at(1)->trigger();
  menu.menu()->actions().at(4)->trigger();
  EXPECT_EQ(chosen, (std::vector<int>{11, 3}));

  // The next opening: a proxy removed, the copy entry hidden; no entry of
  // the last opening is left, not even among the menu's children.
  menu.Build(Model({"使用しない"}, false));
  EXPECT_EQ(Captions(menu.menu()), (QStringList{"オプション", "プロキシ", "-", "終了"}));
  EXPECT_EQ(menu.menu()->findChildren<QMenu*>().size(), 1);
  EXPECT_EQ(Captions(menu.menu()->findChild<QMenu*>("prox")), QStringList{"使用しない"});
  EXPECT_EQ(menu.menu()->findChildren<QAction*>("ipc").size(), 0);
}

TEST(ShellMenuTest, TrayOpensTheMenuOnLeftAndRightPressOnly) {
  EXPECT_TRUE(TrayIcon::OpensMenu(QSystemTrayIcon::Trigger));
  EXPECT_TRUE(TrayIcon::OpensMenu(QSystemTrayIcon::Context));
  EXPECT_FALSE(TrayIcon::OpensMenu(QSystemTrayIcon::DoubleClick));
  EXPECT_FALSE(TrayIcon::OpensMenu(QSystemTrayIcon::MiddleClick));
  EXPECT_FALSE(TrayIcon::OpensMenu(QSystemTrayIcon::Unknown));

  TrayIcon tray;
  tray.Add();
  EXPECT_EQ(tray.icon().toolTip(), QStringLiteral("Mirel君9x"));
  // The picture really loads from the resources, not just a file name.
  EXPECT_FALSE(tray.icon().icon().pixmap(22, 22).isNull());
  int requests = 0;
  tray.onMenuRequested = [&](QPoint) { ++requests; };
  emit tray.icon().activated(QSystemTrayIcon::Trigger);
  emit tray.icon().activated(QSystemTrayIcon::Context);
  emit tray.icon().activated(QSystemTrayIcon::DoubleClick);
  EXPECT_EQ(requests, 2);
  tray.Remove();
  EXPECT_FALSE(tray.icon().isVisible());
}

}  // namespace
}  // namespace mirel
