// The Qt shell around the real program, started against a test settings
// file, a fake machine and the real browser-settings store (GSettings in
// memory): what only Qt does — the windows found by name, the menus built
// as QMenus, clicks on painted pixels, the clipboard, timers and socket
// notices delivered by the event loop.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "behaviour/program.h"
#include "platform/linux/browser_store_linux.h"
#include "settings/item_catalogue.h"
#include "shell/qt/monitor_window.h"
#include "shell/qt/qt_shell.h"
#include "tests/fake_system.h"

namespace mirel {
namespace {

using fakes::FakeSystem;
using fakes::SettingsText;
using fakes::WithLine;

// The real shell, but without modal boxes, the network or a real cursor.
class TestShell : public QtShell {
 public:
  QStringList messages;
  std::optional<PixelPoint> cursor;
  void ShowMessage(MessageIcon, const std::string& text) override {
    messages << QString::fromStdString(text);
  }
  void ShowNotice(const std::string& text) override { messages << QString::fromStdString(text); }
  FetchReply HttpGet(const std::string&, std::chrono::milliseconds) override { return {}; }
  std::optional<PixelPoint> CursorPosition() override {
    return cursor ? cursor : QtShell::CursorPosition();
  }
};

template <typename T = QWidget>
T* TopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == name) {
      if (auto* t = qobject_cast<T*>(w)) return t;
    }
  }
  return nullptr;
}

QAction* Entry(QMenu* menu, const char* name) {
  for (QAction* a : menu->findChildren<QAction*>()) {
    if (a->objectName() == name) return a;
  }
  return nullptr;
}

class ShellAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    root_ = dir_.path().toStdString();
  }
  void TearDown() override {
    if (program_ && !program_->exiting()) program_->Exit();
  }

  Program& Make(const std::string& settingsUtf8) {
    const std::filesystem::path file = root_ / "設定.ini";
    std::ofstream(file, std::ios::binary) << *MakeAnsiCodec()->ToAnsi(settingsUtf8);
    ProgramEnvironment env;
    env.executableDir = root_;
    env.settingsFile = file;
    env.configDir = root_ / "config";
    env.dataDir = root_ / "data";
    auto system = std::make_unique<FakeSystem>();
    system_ = system.get();
    env.system = std::move(system);
    auto store = MakeBrowserSettingsStore(root_ / "config");
    registry_ = std::make_unique<RegistryAccess>(*store);
    env.store = std::move(store);
    program_.reset();
    shell_ = std::make_unique<TestShell>();
    program_ = std::make_unique<Program>(*shell_, std::move(env));
    shell_->Connect(*program_);
    return *program_;
  }
  MonitorWindow& Monitor() { return *TopLevel<MonitorWindow>("Form4"); }
  QSystemTrayIcon& Tray() { return *shell_->findChild<QSystemTrayIcon*>(); }
  // A right press on the monitor window: the menu it opens.
  QMenu* RightPressMenu() {
    QTest::mouseClick(&Monitor(), Qt::RightButton, {}, QPoint(3, 3));
    QMenu* menu = TopLevel<QMenu>("mnuPop2");
    EXPECT_NE(menu, nullptr);
    if (menu) menu->hide();
    return menu;
  }

  QTemporaryDir dir_;
  std::filesystem::path root_;
  FakeSystem* system_ = nullptr;
  std::unique_ptr<RegistryAccess> registry_;
  std::unique_ptr<TestShell> shell_;
  std::unique_ptr<Program> program_;
};

// Records whether the tray icon was still there when the monitor hid.
class HideWatcher : public QObject {
 public:
  explicit HideWatcher(QSystemTrayIcon& tray) : tray_(tray) {}
  std::optional<bool> iconVisibleAtHide;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Hide && !iconVisibleAtHide) iconVisibleAtHide = tray_.isVisible();
    return false;
  }

 private:
  QSystemTrayIcon& tray_;
};

TEST_F(ShellAppTest, WindowsComeUpTicksArriveAndExitTakesTheIconFirst) {
  Program& p = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(p.Start(), std::nullopt);
  MonitorWindow& monitor = Monitor();
  EXPECT_TRUE(monitor.isVisible());
  EXPECT_EQ(monitor.geometry(), QRect(100, 100, 158, 41));
  EXPECT_TRUE(Tray().isVisible());
  EXPECT_EQ(Tray().toolTip(), QString::fromUtf8(kProgramTitle));
  // The refresh timer paints the stack from the event loop.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !monitor.displayed().isNull(); }, 3000));

  HideWatcher watcher(Tray());
  monitor.installEventFilter(&watcher);
  QMenu* menu = RightPressMenu();
  ASSERT_NE(menu, nullptr);
  Entry(menu, "en")->trigger();
  ASSERT_TRUE(watcher.iconVisibleAtHide.has_value());
  EXPECT_FALSE(*watcher.iconVisibleAtHide);
  EXPECT_FALSE(Tray().isVisible());
  EXPECT_FALSE(monitor.isVisible());
  EXPECT_TRUE(p.exiting());

  // Closing the monitor window ends the program the same way.
  Program& second = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(second.Start(), std::nullopt);
  Monitor().close();
  EXPECT_TRUE(second.exiting());
  EXPECT_FALSE(Tray().isVisible());
}

TEST_F(ShellAppTest, MenusAreBuiltFromTheModelAndTheirEntriesAct) {
  // The address item shown, so "ＩＰアドレスコピー" is there too.
  Program& p = Make(
      WithLine(SettingsText(158, 41, {"proxy.test:8080", "PROXY.TEST:8080 社内", "other:3128"}), 1,
               "111100010000000"));
  ASSERT_EQ(p.Start(), std::nullopt);
  ASSERT_TRUE(registry_->store().SetString(kInternetSettingsKey, "ProxyServer", "proxy.test:8080"));

  QMenu* menu = RightPressMenu();
  ASSERT_NE(menu, nullptr);
  QStringList captions;
  for (QAction* a : menu->actions()) captions << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(captions, (QStringList{"オプション", "ＩＰアドレスコピー", "プロキシ", "プロキシを使う",
                                   "通信履歴", "-", "終了"}));
  // The proxy's switch as a tick (off: nothing has turned it on).
  EXPECT_TRUE(Entry(menu, "proxuse")->isCheckable());
  EXPECT_FALSE(Entry(menu, "proxuse")->isChecked());
  QMenu* proxies = menu->findChild<QMenu*>("prox");
  ASSERT_NE(proxies, nullptr);
  const QList<QAction*> entries = proxies->actions();
  ASSERT_EQ(entries.size(), 4);
  EXPECT_TRUE(entries[0]->isCheckable());
  EXPECT_EQ(QList<bool>({entries[0]->isChecked(), entries[1]->isChecked(), entries[2]->isChecked(),
                         entries[3]->isChecked()}),
            QList<bool>({false, true, true, false}));
  entries[3]->trigger();
  EXPECT_EQ(registry_->ReadRegValue(kInternetSettingsKey, "ProxyServer"), "other:3128");

  // The tray's menu is its own, built on its own opening.
  emit Tray().activated(QSystemTrayIcon::Trigger);
  QMenu* tray = TopLevel<QMenu>("mnuPop");
  ASSERT_NE(tray, nullptr);
  tray->hide();
  EXPECT_TRUE(Entry(tray, "pro_3")->isChecked());
  Entry(tray, "ipc")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("0,0,0,0"));

  // オプション twice: one dialog, shown; exit hides it.
  Entry(tray, "option")->trigger();
  Entry(RightPressMenu(), "option")->trigger();
  const QWidgetList tops = QApplication::topLevelWidgets();
  EXPECT_EQ(std::count_if(tops.begin(), tops.end(),
                          [](QWidget* w) { return w->objectName() == "Form2"; }),
            1);
  QWidget* dialog = TopLevel("Form2");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  // 通信履歴 from either menu: one window, over the history the program keeps.
  Entry(tray, "history")->trigger();
  Entry(RightPressMenu(), "history")->trigger();
  QWidget* history = TopLevel("HistoryWindow");
  ASSERT_NE(history, nullptr);
  EXPECT_TRUE(history->isVisible());
  EXPECT_FALSE(history->findChild<QWidget*>("historyProblem")->isVisibleTo(history));
  p.Exit();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_FALSE(history->isVisible());
}

// While the event loop runs, the proxy readouts follow a change the desktop
// makes elsewhere, at the next tick.
TEST_F(ShellAppTest, ProxyReadoutsFollowTheDesktopWhileTheLoopRuns) {
  if (!DesktopProxyAvailable()) GTEST_SKIP() << "org.gnome.system.proxy is not installed";
  // The proxy server item shown, a tick every 0.5 s.
  Program& p = Make(WithLine(WithLine(SettingsText(158, 41, {}), 1, "111100000100000"), 33, " 1 "));
  ASSERT_EQ(p.Start(), std::nullopt);
  ASSERT_TRUE(registry_->store().SetString(kInternetSettingsKey, "ProxyServer", "a.test:8080"));
  const MonitorState& state = p.readings();
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return state.Text(ItemKey::kProxyServer) == "a.test:8080"; }, 3000))
      << state.Text(ItemKey::kProxyServer);
  EXPECT_EQ(state.Text(ItemKey::kProxySwitch), "OFF");

  GSettings* http = g_settings_new("org.gnome.system.proxy.http");
  GSettings* proxy = g_settings_new("org.gnome.system.proxy");
  g_settings_set_string(http, "host", "b.test");
  g_settings_set_string(proxy, "mode", "manual");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return state.Text(ItemKey::kProxyServer) ==
               "http=b.test:8080;https=a.test:8080;ftp=a.test:8080";
      },
      3000))
      << state.Text(ItemKey::kProxyServer);
  EXPECT_TRUE(QTest::qWaitFor([&] { return state.Text(ItemKey::kProxySwitch) == "ON"; }, 3000));
  g_settings_set_string(proxy, "mode", "none");
  g_object_unref(http);
  g_object_unref(proxy);
}

// Where a colour first appears in a rectangle of the displayed image.
std::optional<QPoint> FindColour(const QImage& image, QRect area, std::uint32_t colour) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.valid(x, y) && ToColour(image.pixel(x, y) & 0xFFFFFFu) == colour)
        return QPoint(x, y);
  return std::nullopt;
}

TEST_F(ShellAppTest, ChangeButtonsFlipTheirSettingAtEverySize) {
  struct Button {
    int strip;  // row of the stack: 107, 108, 109 are the first three
    std::uint32_t face;
    const char* key;
    const char* value;
    std::string on, off;
  };
  const Button buttons[] = {
      {0, Rgb(212, 207, 198), kInternetSettingsKey, "ProxyEnable", "1", "0"},
      {1, Rgb(216, 208, 196), kZone3Key, "1400", "0", "3"},
      {2, Rgb(221, 214, 203), kZone3Key, "1402", "0", "3"},
  };
  for (const QSize size : {QSize(158, 41), QSize(316, 82), QSize(237, 60)}) {
    Program& p = Make(SettingsText(size.width(), size.height(), {}));
    ASSERT_EQ(p.Start(), std::nullopt);
    MonitorWindow& window = Monitor();
    ASSERT_EQ(window.size(), size);
    for (const Button& b : buttons) {
      for (int round = 0; round < 2; ++round) {
        p.RefreshTick();  // the readouts follow the store
        const double sy = size.height() / 41.0;
        const double sx = size.width() / 158.0;
        const QRect area(static_cast<int>(95 * sx), static_cast<int>(b.strip * 14 * sy),
                         static_cast<int>(40 * sx), static_cast<int>(13 * sy));
        const std::optional<QPoint> at = FindColour(window.displayed(), area, b.face);
        ASSERT_TRUE(at) << "no button face on strip " << b.strip << " at " << size.width();
        const std::string before = registry_->ReadRegValue(b.key, b.value);
        QTest::mouseClick(&window, Qt::LeftButton, {}, *at);
        const std::string after = registry_->ReadRegValue(b.key, b.value);
        EXPECT_NE(after, before) << b.value << " at " << size.width() << "x" << size.height();
        EXPECT_TRUE(after == b.on || after == b.off) << after;
      }
    }
    // A press elsewhere toggles nothing.
    p.RefreshTick();
    const std::string enable = registry_->ReadRegValue(kInternetSettingsKey, "ProxyEnable");
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(registry_->ReadRegValue(kInternetSettingsKey, "ProxyEnable"), enable);
    p.Exit();
  }
}

TEST_F(ShellAppTest, TheOpenDialogFollowsTheDrivesAndTheNetwork) {
  // Line 22 ticks the first drive, line 23 gives it a start colour.
  Program& p = Make(WithLine(WithLine(SettingsText(158, 41, {}), 22, "1"), 23, "255         "));
  system_->drives = {"/", "/home"};
  system_->table = {{1, kIfTypeLoopback, "lo"}, {2, kIfTypeEthernet, "eth0"}};
  ASSERT_EQ(p.Start(), std::nullopt);
  ASSERT_NE(system_->watch, nullptr);

  for (int open = 0; open < 2; ++open) {
    // A file system mounted while running, then the root's row gone.
    system_->drives = open == 0 ? std::vector<std::string>{"/", "/data", "/home"}
                                : std::vector<std::string>{"/data", "/home"};
    Entry(RightPressMenu(), "option")->trigger();
    auto* list = TopLevel("Form2")->findChild<QTreeWidget*>("ListView1");
    ASSERT_NE(list, nullptr);
    QStringList shown;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* row = list->topLevelItem(i);
      shown << row->text(0) + (row->checkState(0) == Qt::Checked ? "+" : "-") +
                   row->text(2).trimmed();
    }
    EXPECT_EQ(shown, open == 0 ? QStringList({"/+255", "/data-16777215", "/home-16777215"})
                               : QStringList({"/data-16777215", "/home-16777215"}));
  }

  // A VPN takes the default route; the kernel's notice arrives through the
  // event loop, and the open dialog shows the list and the choice.
  auto* combo = TopLevel("Form2")->findChild<QComboBox*>("Combo2");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->count(), 2);
  system_->table.push_back({5, kIfTypeTunnel, "tun0"});
  system_->routed = "tun0";
  system_->Announce({true, true, true});
  EXPECT_TRUE(QTest::qWaitFor([&] { return combo->count() == 3; }, 5000));
  EXPECT_EQ(combo->currentIndex(), 2);
  EXPECT_EQ(combo->itemText(2), "tun0");
  // Drained at the notice and once more when the burst was over.
  EXPECT_EQ(system_->watch->drains, 2);
  // After exit nothing is taken in any more.
  p.Exit();
  system_->Announce({true, true, true});
  QTest::qWait(300);
  EXPECT_EQ(system_->watch->drains, 2);
}

// What a second start of the program asks of the running one.
TEST_F(ShellAppTest, BringToFrontShowsTheMonitorRestoredAndActive) {
  Program& p = Make(SettingsText(158, 41, {}));
  {
    // Before start-up shows the monitor: a message box it waits in comes
    // forward, the monitor stays for start-up to show.
    QWidget other;
    other.show();
    const std::unique_ptr<QMessageBox> box = MakeMessageBox(QMessageBox::Critical, "x");
    box->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    p.BringToFront();
    EXPECT_TRUE(QTest::qWaitForWindowActive(box.get()));
    EXPECT_FALSE(Monitor().isVisible());
  }
  ASSERT_EQ(p.Start(), std::nullopt);
  MonitorWindow& monitor = Monitor();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&monitor));
  monitor.setWindowState(monitor.windowState() | Qt::WindowMinimized);
  ASSERT_TRUE(monitor.isMinimized());
  p.BringToFront();
  EXPECT_FALSE(monitor.isMinimized());
  EXPECT_TRUE(QTest::qWaitForWindowActive(&monitor));
}

// Generous: the check is due after 100 ms, but a loaded machine may run it
// later; what matters is that the event loop delivers it.
constexpr int kBackWithinMs = 3000;

TEST_F(ShellAppTest, AHiddenOrMinimisedMonitorComesBackAndMouseOverHidesIt) {
  Program& p = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(p.Start(), std::nullopt);
  MonitorWindow& monitor = Monitor();
  monitor.hide();
  EXPECT_TRUE(QTest::qWaitFor([&] { return monitor.isVisible(); }, kBackWithinMs));
  // Minimised, the window is still "visible" to Qt: the shell looks at its
  // state as well.
  monitor.setWindowState(Qt::WindowMinimized);
  ASSERT_TRUE(monitor.isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return monitor.ShownOnScreen(); }, kBackWithinMs));
  EXPECT_EQ(monitor.geometry(), QRect(100, 100, 158, 41));

  // マウスオーバーで表示, chosen in the dialog: polled from then on.
  p.dialog().Chosen(*FindDialogControl("Option4"), 1);
  shell_->cursor = PixelPoint{120, 110};
  EXPECT_TRUE(QTest::qWaitFor([&] { return !monitor.isVisible(); }, kBackWithinMs));
  shell_->cursor = PixelPoint{500, 500};
  EXPECT_TRUE(QTest::qWaitFor([&] { return monitor.isVisible(); }, kBackWithinMs));
}

}  // namespace
}  // namespace mirel
