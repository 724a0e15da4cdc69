// The popup menu: its fixed entries, the proxy entries rebuilt on every
// opening, and what choosing an entry hands on.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "shell/qt/popup_menu_qt.h"
#include "shell/qt/tray_icon.h"

namespace mirel {
namespace {

QStringList Captions(QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

struct MenuFixture {
  std::vector<ProxyMenuItem> items{{"使用しない", false}};
  std::vector<std::pair<int, std::string>> chosen;
  int options = 0, copies = 0, exits = 0;
  bool ipVisible = true, proxyVisible = true;

  PopupMenuHooks Hooks() {
    PopupMenuHooks h;
    h.proxyItems = [this] { return items; };
    h.proxyChosen = [this](int k, const std::string& c) { chosen.emplace_back(k, c); };
    h.options = [this] { ++options; };
    h.copyIp = [this] { ++copies; };
    h.exit = [this] { ++exits; };
    h.ipCopyVisible = [this] { return ipVisible; };
    h.proxyVisible = [this] { return proxyVisible; };
    return h;
  }
};

TEST(ShellMenuTest, FixedEntriesInOrderAndTheirActions) {
  MenuFixture f;
  PopupMenuQt menu(f.Hooks());
  menu.Rebuild();
  EXPECT_EQ(Captions(menu.menu()),
            (QStringList{"オプション", "ＩＰアドレスコピー", "プロキシ", "-", "終了"}));

  menu.optionsAction()->trigger();
  menu.ipCopyAction()->trigger();
  menu.exitAction()->trigger();
  EXPECT_EQ(f.options, 1);
  EXPECT_EQ(f.copies, 1);
  EXPECT_EQ(f.exits, 1);
  EXPECT_TRUE(f.chosen.empty());
}

TEST(ShellMenuTest, VisibilityIsReadOnEveryOpening) {
  MenuFixture f;
  PopupMenuQt menu(f.Hooks());
  f.ipVisible = false;
  menu.Rebuild();
  EXPECT_FALSE(menu.ipCopyAction()->isVisible());
  EXPECT_TRUE(menu.proxyMenu()->menuAction()->isVisible());

  f.ipVisible = true;
  f.proxyVisible = false;
  menu.Rebuild();
  EXPECT_TRUE(menu.ipCopyAction()->isVisible());
  EXPECT_FALSE(menu.proxyMenu()->menuAction()->isVisible());
}

TEST(ShellMenuTest, ProxyEntriesFollowTheListWithTheirMarks) {
  MenuFixture f;
  f.items = {{"使用しない", false},
             {"proxy.example:8080", true},
             {"PROXY.EXAMPLE:8080 社内", true},
             {"other:3128", false}};
  PopupMenuQt menu(f.Hooks());
  menu.Rebuild();
  const QList<QAction*> entries = menu.proxyMenu()->actions();
  ASSERT_EQ(entries.size(), 4);
  EXPECT_EQ(menu.loadedEntryCount(), 3);
  const bool marks[] = {false, true, true, false};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(entries[k]->text().toStdString(), f.items[static_cast<std::size_t>(k)].caption);
    EXPECT_TRUE(entries[k]->isCheckable());
    EXPECT_EQ(entries[k]->isChecked(), marks[k]) << k;
  }

  entries[2]->trigger();
  entries[0]->trigger();
  ASSERT_EQ(f.chosen.size(), 2u);
  EXPECT_EQ(f.chosen[0], std::make_pair(2, std::string("PROXY.EXAMPLE:8080 社内")));
  EXPECT_EQ(f.chosen[1], std::make_pair(0, std::string("使用しない")));
}

TEST(ShellMenuTest, ReopeningDropsRemovedEntriesAndKeepsItsOwnCount) {
  MenuFixture f;
  f.items = {{"使用しない", false}, {"a:1", true}, {"b:2", false}};
  PopupMenuQt tray(f.Hooks());
  PopupMenuQt window(f.Hooks());
  tray.Rebuild();
  window.Rebuild();

  f.items.pop_back();  // the dialog removed "b:2"
  f.items[0].checked = true;
  f.items[1].checked = false;
  tray.Rebuild();
  EXPECT_EQ(tray.loadedEntryCount(), 1);
  EXPECT_EQ(window.loadedEntryCount(), 2);  // not reopened yet
  const QList<QAction*> entries = tray.proxyMenu()->actions();
  ASSERT_EQ(entries.size(), 2);
  EXPECT_TRUE(entries[0]->isChecked());
  EXPECT_FALSE(entries[1]->isChecked());

  // A rebuilt entry reports its index once, never through an old copy.
  entries[1]->trigger();
  EXPECT_EQ(f.chosen, (std::vector<std::pair<int, std::string>>{{1, "a:1"}}));
}

TEST(ShellMenuTest, AmpersandInAServerIsShownNotAMnemonic) {
  MenuFixture f;
  f.items = {{"使用しない", true}, {"a&b:80", false}};
  PopupMenuQt menu(f.Hooks());
  menu.Rebuild();
  QAction* entry = menu.proxyMenu()->actions().at(1);
  EXPECT_EQ(entry->text(), QStringLiteral("a&&b:80"));
  entry->trigger();
  ASSERT_EQ(f.chosen.size(), 1u);
  EXPECT_EQ(f.chosen[0].second, "a&b:80");  // the store gets the real text
}

TEST(ShellMenuTest, TrayOpensTheMenuOnLeftAndRightPressOnly) {
  EXPECT_TRUE(TrayIcon::OpensMenu(QSystemTrayIcon::Trigger));
  EXPECT_TRUE(TrayIcon::OpensMenu(QSystemTrayIcon::Context));
  EXPECT_FALSE(TrayIcon::OpensMenu(QSystemTrayIcon::DoubleClick));
  EXPECT_FALSE(TrayIcon::OpensMenu(QSystemTrayIcon::MiddleClick));
  EXPECT_FALSE(TrayIcon::OpensMenu(QSystemTrayIcon::Unknown));

  TrayIcon tray;
  EXPECT_EQ(tray.icon().toolTip(), QStringLiteral("Mirel君9x"));
  // The picture really loads from the resources, not just a file name.
  EXPECT_FALSE(tray.icon().icon().pixmap(22, 22).isNull());
  int requests = 0;
  tray.onMenuRequested = [&](QPoint) { ++requests; };
  emit tray.icon().activated(QSystemTrayIcon::Trigger);
  emit tray.icon().activated(QSystemTrayIcon::Context);
  emit tray.icon().activated(QSystemTrayIcon::DoubleClick);
  EXPECT_EQ(requests, 2);
}

}  // namespace
}  // namespace mirel
