// The whole shell started against a test settings file, a fake machine and
// the real browser-settings store (GSettings in memory): start-up results,
// the menus, proxy switching, the "変更" buttons and the clipboard.
#include <fcntl.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "drawing/monitor_engine.h"
#include "platform/linux/browser_store_linux.h"
#include "shell/qt/application.h"
#include "shell/qt/monitor_window.h"
#include "shell/qt/settings_dialog.h"
#include "shell/qt/tray_icon.h"

namespace mirel {
namespace {

// A watch the test pokes: a byte in the pipe is a notice, and the changes
// it reports are those the test put in `pending`.
class PipeWatch : public NetworkWatch {
 public:
  PipeWatch(int readEnd, NetworkChanges& pending) : fd_(readEnd), pending_(pending) {}
  std::intptr_t Descriptor() const override { return fd_; }
  NetworkChanges Drain() override {
    char buffer[64];
    while (::read(fd_, buffer, sizeof buffer) > 0) {
    }
    NetworkChanges out = pending_;
    pending_ = {};
    ++drains;
    return out;
  }
  int drains = 0;

 private:
  int fd_;
  NetworkChanges& pending_;
};

class FakeSystem : public SystemSource {
 public:
  FakeSystem() {
    if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) ADD_FAILURE() << "no pipe";
  }
  ~FakeSystem() override {
    ::close(pipe_[0]);
    ::close(pipe_[1]);
  }
  FakeSystem(const FakeSystem&) = delete;
  FakeSystem& operator=(const FakeSystem&) = delete;

  AdapterTableStatus adapterStatus = AdapterTableStatus::kOk;
  std::vector<InterfaceRow> table{{1, kIfTypeEthernet, "eth0"}};
  std::string routed = "eth0";
  std::vector<AdapterEntry> adapters{{"eth0", "192.168.0.2"}};
  NetworkChanges pending;
  PipeWatch* watch = nullptr;

  // A change of the machine's network, as the kernel would announce it.
  void Announce(NetworkChanges changes) {
    pending = changes;
    ASSERT_EQ(::write(pipe_[1], "x", 1), 1);
  }

  std::optional<int> ReadCpuPercent() override { return ++cpuReads == 1 ? 70 : 12; }
  MemoryReading ReadMemory() override { return {512ull << 20, 256ull << 20}; }
  std::vector<InterfaceRow> LoadInterfaceTable() override { return table; }
  std::optional<std::size_t> DefaultRouteInterface(const std::vector<InterfaceRow>& rows) override {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].description == routed) return i;
    }
    return std::nullopt;
  }
  std::optional<OctetCounters> ReadCounters(const InterfaceRow&) override {
    return OctetCounters{1000, 500, true};
  }
  AdapterTable LoadAdapterTable() override {
    AdapterTable t;
    t.status = adapterStatus;
    if (adapterStatus == AdapterTableStatus::kOk) t.entries = adapters;
    return t;
  }
  std::vector<std::string> drives;
  std::vector<std::string> ListFixedDrives() override { return drives; }
  std::optional<DriveSpace> ReadDriveSpace(const std::string&) override { return std::nullopt; }
  std::string DateLine() override { return "2026/12/08 火曜日  01:00:00"; }
  std::unique_ptr<NetworkWatch> WatchNetwork() override {
    auto w = std::make_unique<PipeWatch>(pipe_[0], pending);
    watch = w.get();
    return w;
  }

  int cpuReads = 0;

 private:
  int pipe_[2] = {-1, -1};
};

std::string Slots(const char* colour) {
  std::string s;
  for (int i = 0; i < 15; ++i) {
    std::string slot = colour;
    slot.resize(12, ' ');
    s += slot;
  }
  return s;
}

// drawMode 0 (stretched), window at 100,100 px of the given pixel size.
std::string SettingsText(int widthPx, int heightPx, const std::vector<std::string>& proxies) {
  std::vector<std::string> lines = {"111100000000000",
                                    "107108109100101102103104105106110111112113114",
                                    Slots("16777215"),
                                    Slots("8421376"),
                                    "",
                                    " 1 ",
                                    " 1 ",
                                    " 1 ",  // IP copy, auto adapter, proxy menu
                                    " 0 ",
                                    " 0 ",
                                    " 0 ",
                                    " 0 ",
                                    " 0 ",  // toolbar
                                    "0",
                                    "1",
                                    "0",
                                    "0",  // Kbyte, not topmost, no graph, no mouse-over
                                    " 0 ",
                                    "0",
                                    "0",
                                    " 0 ",  // adapter, GB, stretched, no version check
                                    "",
                                    "",  // drives
                                    "0",
                                    "16777215",
                                    "0",
                                    "0",
                                    "0",
                                    "0",
                                    "65280",
                                    "0",
                                    " 24 ",
                                    " 2 ",
                                    " 8 ",
                                    " 1500 ",
                                    " 1500 ",
                                    " " + std::to_string(heightPx * 15 + 128) + " ",
                                    " " + std::to_string(widthPx * 15 + 126) + " ",
                                    " 41 ",
                                    " 0 ",
                                    " 0 ",
                                    " " + std::to_string(proxies.size()) + " "};
  lines.insert(lines.end(), proxies.begin(), proxies.end());
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

class ShellAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The desktop proxy lives in GSettings: keep it in this process.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    ASSERT_TRUE(dir_.isValid());
    root_ = dir_.path().toStdString();
  }

  std::unique_ptr<Application> Make(const std::string& settingsUtf8,
                                    FakeSystem** systemOut = nullptr, bool writeFile = true) {
    const std::filesystem::path file = root_ / "設定.ini";
    if (writeFile) {
      std::ofstream out(file, std::ios::binary);
      out << *MakeAnsiCodec()->ToAnsi(settingsUtf8);
    }
    AppEnvironment env;
    env.executableDir = root_;
    env.settingsFile = file;
    env.configDir = root_ / "config";
    auto system = std::make_unique<FakeSystem>();
    if (systemOut) *systemOut = system.get();
    env.system = std::move(system);
    env.webCheck = [this](const SettingsModel&, const TextCodec&, WebCheckResults&) {
      if (webCheck_) webCheck_();
    };
    env.message = [this](QMessageBox::Icon icon, const QString& text) {
      messages_.push_back(text);
      icons_.push_back(icon);
      if (onMessage_) onMessage_();
    };
    return std::make_unique<Application>(std::move(env));
  }

  QTemporaryDir dir_;
  std::filesystem::path root_;
  QStringList messages_;
  std::vector<QMessageBox::Icon> icons_;
  // What the user does while a message box is open, and during the web check.
  std::function<void()> onMessage_;
  std::function<void()> webCheck_;
};

TEST_F(ShellAppTest, UnreadableSettingsEndWithStatusOneAndWriteNothing) {
  // A missing file, and one that ends before its fixed lines.
  for (const bool present : {false, true}) {
    messages_.clear();
    const std::filesystem::path file = root_ / "設定.ini";
    std::filesystem::remove(file);
    if (present) std::ofstream(file, std::ios::binary) << "111\r\n100\r\n";
    auto app = Make("", nullptr, false);
    EXPECT_EQ(app->Start(), std::optional<int>(1));
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_FALSE(messages_[0].isEmpty());
    EXPECT_FALSE(app->monitor().isVisible());
    EXPECT_FALSE(app->tray().icon().isVisible());
    EXPECT_EQ(std::filesystem::exists(file), present);
    if (present) {
      EXPECT_EQ(std::filesystem::file_size(file), 10u);  // untouched
    }
  }
}

TEST_F(ShellAppTest, AdapterErrorsShowTheirMessageAndStartUpGoesOn) {
  const std::pair<AdapterTableStatus, const char*> cases[] = {
      {AdapterTableStatus::kNotSupported, "このバージョンのOSでこの機能はサポートされていません"},
      {AdapterTableStatus::kInvalidParameter,
       "出力バッファへのアクセスが許可されていないか、パラメータが不正です"},
      {AdapterTableStatus::kNoAdapters, "このコンピュータにはアダプタ情報が存在しません"},
      {AdapterTableStatus::kOtherFailure, nullptr},
      {AdapterTableStatus::kOk, nullptr},
  };
  for (const auto& [status, text] : cases) {
    messages_.clear();
    icons_.clear();
    FakeSystem* system = nullptr;
    auto app = Make(SettingsText(158, 41, {}), &system);
    system->adapterStatus = status;
    EXPECT_EQ(app->Start(), std::nullopt);
    if (text) {
      ASSERT_EQ(messages_.size(), 1);
      EXPECT_EQ(messages_[0], QString::fromUtf8(text));
      EXPECT_EQ(icons_[0], QMessageBox::Critical);
    } else {
      EXPECT_TRUE(messages_.isEmpty());
    }
    EXPECT_TRUE(app->monitor().isVisible());
    EXPECT_TRUE(app->tray().icon().isVisible());
    EXPECT_EQ(app->refreshTimer().interval(), 1000);  // line 33 = 2
    EXPECT_TRUE(app->refreshTimer().isActive());
    app->Exit();
  }
}

// While the event loop runs, the proxy readouts follow a change the desktop
// makes elsewhere, at the next tick.
TEST_F(ShellAppTest, ProxyReadoutsFollowTheDesktopWhileTheLoopRuns) {
  if (!DesktopProxyAvailable()) GTEST_SKIP() << "org.gnome.system.proxy is not installed";
  auto app = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(app->Start(), std::nullopt);
  for (ItemRow& row : app->model().items) {
    if (row.key == "106") row.checked = true;
  }
  ASSERT_TRUE(
      app->registry().store().SetString(kInternetSettingsKey, "ProxyServer", "a.test:8080"));
  app->refreshTimer().setInterval(10);
  const MonitorState& state = app->engine()->state();
  EXPECT_TRUE(QTest::qWaitFor([&] { return state.Text(106) == "a.test:8080"; }, 2000))
      << state.Text(106);
  EXPECT_EQ(state.Text(107), "OFF");

  GSettings* http = g_settings_new("org.gnome.system.proxy.http");
  GSettings* proxy = g_settings_new("org.gnome.system.proxy");
  g_settings_set_string(http, "host", "b.test");
  g_settings_set_string(proxy, "mode", "manual");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return state.Text(106) == "http=b.test:8080;https=a.test:8080;ftp=a.test:8080"; },
      2000))
      << state.Text(106);
  EXPECT_TRUE(QTest::qWaitFor([&] { return state.Text(107) == "ON"; }, 2000));
  g_object_unref(http);
  g_object_unref(proxy);
  app->Exit();
}

TEST_F(ShellAppTest, ProxyEntriesAreMarkedAndChoosingOneStoresIt) {
  auto app = Make(SettingsText(158, 41, {"proxy.test:8080", "PROXY.TEST:8080 社内", "other:3128"}));
  ASSERT_EQ(app->Start(), std::nullopt);
  BrowserSettingsStore& store = app->registry().store();
  ASSERT_TRUE(store.SetString(kInternetSettingsKey, "ProxyServer", "proxy.test:8080"));

  PopupMenuQt& menu = app->monitorMenu();
  menu.Rebuild();
  QList<QAction*> entries = menu.proxyMenu()->actions();
  ASSERT_EQ(entries.size(), 4);
  EXPECT_FALSE(entries[0]->isChecked());
  EXPECT_TRUE(entries[1]->isChecked());
  EXPECT_TRUE(entries[2]->isChecked());  // same server in capitals, with a remark
  EXPECT_FALSE(entries[3]->isChecked());

  entries[3]->trigger();
  EXPECT_EQ(app->registry().ReadRegValue(kInternetSettingsKey, "ProxyServer"), "other:3128");
  EXPECT_EQ(app->model().proxyText, "other:3128");
  EXPECT_EQ(app->model().statusText, "other:3128 プロキシを変更しました");

  // The tray's menu reads the new proxy on its own opening.
  app->trayMenu().Rebuild();
  entries = app->trayMenu().proxyMenu()->actions();
  ASSERT_EQ(entries.size(), 4);
  EXPECT_TRUE(entries[3]->isChecked());
  EXPECT_FALSE(entries[1]->isChecked());

  const std::string enableBefore =
      app->registry().ReadRegValue(kInternetSettingsKey, "ProxyEnable");
  entries[0]->trigger();
  EXPECT_EQ(app->registry().ReadRegValue(kInternetSettingsKey, "ProxyServer"), "");
  EXPECT_EQ(app->model().statusText, "使用しない プロキシを変更しました");
  EXPECT_EQ(app->registry().ReadRegValue(kInternetSettingsKey, "ProxyEnable"), enableBefore);
  app->monitorMenu().Rebuild();
  EXPECT_TRUE(app->monitorMenu().proxyMenu()->actions().at(0)->isChecked());
  app->Exit();
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
    auto app = Make(SettingsText(size.width(), size.height(), {}));
    ASSERT_EQ(app->Start(), std::nullopt);
    MonitorWindow& window = app->monitor();
    ASSERT_EQ(window.size(), size);
    RegistryAccess& reg = app->registry();
    for (const Button& b : buttons) {
      for (int round = 0; round < 2; ++round) {
        app->RefreshTick();  // the readouts follow the store
        const double sy = size.height() / 41.0;
        const double sx = size.width() / 158.0;
        const QRect area(static_cast<int>(95 * sx), static_cast<int>(b.strip * 14 * sy),
                         static_cast<int>(40 * sx), static_cast<int>(13 * sy));
        const std::optional<QPoint> at = FindColour(window.displayed(), area, b.face);
        ASSERT_TRUE(at) << "no button face on strip " << b.strip << " at " << size.width();
        const std::string before = reg.ReadRegValue(b.key, b.value);
        QTest::mouseClick(&window, Qt::LeftButton, {}, *at);
        const std::string after = reg.ReadRegValue(b.key, b.value);
        EXPECT_NE(after, before) << b.value << " at " << size.width() << "x" << size.height();
        EXPECT_TRUE(after == b.on || after == b.off) << after;
      }
    }
    // A press elsewhere toggles nothing, a right press never does.
    app->RefreshTick();
    const std::string enable = reg.ReadRegValue(kInternetSettingsKey, "ProxyEnable");
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(2, 2));
    app->monitorMenu().menu()->hide();
    EXPECT_EQ(reg.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), enable);
    app->Exit();
  }
}

TEST_F(ShellAppTest, IpCopyPutsTheAddressOrZeros) {
  auto app = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(app->Start(), std::nullopt);
  const std::pair<const char*, const char*> cases[] = {
      {"203.0.113.7", "203.0.113.7"},
      {"接続不能", "0,0,0,0"},
      {"再起動後に表示", "0,0,0,0"},
      {"Now　Loading・・・", "0,0,0,0"},
  };
  for (const auto& [ip, expected] : cases) {
    app->web().globalIp = ip;
    app->monitorMenu().Rebuild();
    app->monitorMenu().ipCopyAction()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(expected)) << ip;
  }
  // The address item is not shown, so the entry stays hidden although the
  // settings ask for it.
  EXPECT_FALSE(app->monitorMenu().ipCopyAction()->isVisible());
  app->Exit();
}

TEST_F(ShellAppTest, OptionsOpensTheOneDialogAndClearsItsStatusEachTime) {
  auto app = Make(SettingsText(158, 41, {"a:1"}));
  ASSERT_EQ(app->Start(), std::nullopt);
  EXPECT_EQ(app->dialog(), nullptr);  // built on first use
  for (int i = 0; i < 2; ++i) {
    app->model().statusText = "a:1 プロキシを変更しました";
    app->trayMenu().optionsAction()->trigger();
    EXPECT_TRUE(app->dialog()->isVisible());
    EXPECT_EQ(app->model().statusText, "");
  }
  const QWidgetList tops = QApplication::topLevelWidgets();
  EXPECT_EQ(std::count_if(tops.begin(), tops.end(),
                          [](QWidget* w) { return qobject_cast<SettingsDialog*>(w) != nullptr; }),
            1);
  app->Exit();
  EXPECT_FALSE(app->dialog()->isVisible());
}

TEST_F(ShellAppTest, OptionsListsTheDrivesMountedNow) {
  // Line 22 ticks the first drive, line 23 gives it a start colour.
  const std::string settings = SettingsText(158, 41, {"a:1"});
  std::string edited;
  std::size_t from = 0;
  for (int line = 1; from < settings.size(); ++line) {
    const std::size_t end = settings.find("\r\n", from);
    std::string text = settings.substr(from, end - from);
    if (line == 22) text = "1";
    if (line == 23) text = "255         ";
    edited += text + "\r\n";
    from = end + 2;
  }
  FakeSystem* system = nullptr;
  auto app = Make(edited, &system);
  system->drives = {"/", "/home"};
  ASSERT_EQ(app->Start(), std::nullopt);
  ASSERT_EQ(app->model().drives.size(), 2u);
  ASSERT_TRUE(app->model().drives[0].checked);

  for (int open = 0; open < 2; ++open) {
    // A file system mounted while running, then the root's row gone.
    system->drives = open == 0 ? std::vector<std::string>{"/", "/data", "/home"}
                               : std::vector<std::string>{"/data", "/home"};
    app->trayMenu().optionsAction()->trigger();
    auto* list = app->dialog()->findChild<QTreeWidget*>("ListView1");
    ASSERT_NE(list, nullptr);
    QStringList shown;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* row = list->topLevelItem(i);
      shown << row->text(0) + (row->checkState(0) == Qt::Checked ? "+" : "-") +
                   row->text(2).trimmed();
    }
    EXPECT_EQ(shown, open == 0 ? QStringList({"/+255", "/data-16777215", "/home-16777215"})
                               : QStringList({"/data-16777215", "/home-16777215"}));
    app->dialog()->CloseDialog();
  }
  app->Exit();
}

TEST_F(ShellAppTest, FixedSizeWithNoItemLeavesNoDrawingArea) {
  // Fixed size (line 20) with processor, memory and the graph shown.
  std::string text = SettingsText(158, 41, {});
  text.replace(0, 15, "110000000000010");
  const std::size_t line20 = [&] {
    std::size_t at = 0;
    for (int i = 0; i < 19; ++i) at = text.find("\r\n", at) + 2;
    return at;
  }();
  ASSERT_EQ(text.substr(line20, 3), "0\r\n");
  text[line20] = '1';
  auto app = Make(text);
  ASSERT_EQ(app->Start(), std::nullopt);
  MonitorWindow& window = app->monitor();
  app->RefreshTick();
  EXPECT_EQ(window.size(), QSize(158, 14 + 14 + 30));
  EXPECT_EQ(app->model().display.height, 58 * 15 + 128);

  // Every check mark off: 128 twips, that is no drawing area at all, and
  // nothing of the last stack is painted.
  for (ItemRow& row : app->model().items) row.checked = false;
  app->RefreshTick();
  EXPECT_EQ(app->engine()->composedHeight(), 0);
  EXPECT_EQ(app->model().display.height, 128);
  EXPECT_EQ(app->model().display.scaleHeight, 0);
  EXPECT_FALSE(window.hasDrawingArea());
  EXPECT_LE(window.height(), 1);  // the least a window can have
  EXPECT_EQ(window.width(), 158);
  EXPECT_TRUE(window.displayed().isNull());
  EXPECT_EQ(window.GeometryTwips().height, 128);
  EXPECT_TRUE(window.isVisible());

  // One item back: the window fits it again.
  app->model().items[0].checked = true;
  app->RefreshTick();
  EXPECT_TRUE(window.hasDrawingArea());
  EXPECT_EQ(window.size(), QSize(158, 14));
  EXPECT_EQ(window.displayed().size(), QSize(158, 14));
  app->Exit();
}

TEST_F(ShellAppTest, TheChoiceAndTheLanAddressFollowTheNetworkWhileRunning) {
  FakeSystem* system = nullptr;
  auto app = Make(SettingsText(158, 41, {}), &system);  // automatic choice on
  system->table = {{1, kIfTypeLoopback, "lo"}, {2, kIfTypeEthernet, "eth0"}};
  ASSERT_EQ(app->Start(), std::nullopt);
  ASSERT_NE(system->watch, nullptr);
  EXPECT_EQ(app->model().interfaceList, (std::vector<std::string>{"lo", "eth0"}));
  EXPECT_EQ(app->model().adapterIndex, 1);
  for (ItemRow& row : app->model().items) row.checked = row.key == "100" || row.key == "105";

  // Start-up took the processor's baseline (the share since boot, 70%), so
  // the first tick already shows the share of its own interval.
  app->RefreshTick();
  EXPECT_EQ(app->engine()->state().Text(100), "12%");
  EXPECT_EQ(app->engine()->state().Text(105), "192.168.0.2");

  app->OpenOptions();
  auto* combo = app->dialog()->findChild<QComboBox*>("Combo2");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->count(), 2);

  // A VPN comes up and takes the default route; nothing is read before the
  // kernel says so.
  system->table.push_back({5, kIfTypeTunnel, "tun0"});
  system->routed = "tun0";
  system->adapters = {{"eth0", "192.168.0.2"}, {"tun0", "10.8.0.6"}};
  app->RefreshTick();
  EXPECT_EQ(app->model().adapterIndex, 1);
  EXPECT_EQ(system->watch->drains, 0);
  system->Announce({true, true, true});
  EXPECT_TRUE(QTest::qWaitFor([&] { return app->model().adapterIndex == 2; }, 5000));
  // Drained at the notice and once more when the burst was over.
  EXPECT_EQ(system->watch->drains, 2);
  EXPECT_EQ(app->model().interfaceList.back(), "tun0");
  app->RefreshTick();
  EXPECT_EQ(app->engine()->state().Text(105), "10.8.0.6");
  // The open dialog shows the list and the choice as they are now.
  EXPECT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->currentIndex(), 2);
  EXPECT_EQ(combo->itemText(2), "tun0");

  // After exit nothing is taken in any more.
  app->Exit();
  system->Announce({true, true, true});
  QTest::qWait(300);
  EXPECT_EQ(system->watch->drains, 2);
}

// What a second start of the program asks of the running one.
TEST_F(ShellAppTest, BringToFrontShowsTheMonitorRestoredAndActive) {
  auto app = Make(SettingsText(158, 41, {}));
  {
    // Before start-up shows the monitor: a message box it waits in comes
    // forward, the monitor stays for start-up to show.
    QWidget other;
    other.show();
    const std::unique_ptr<QMessageBox> box =
        Application::MakeMessageBox(QMessageBox::Critical, "x");
    box->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    app->BringToFront();
    EXPECT_TRUE(QTest::qWaitForWindowActive(box.get()));
    EXPECT_FALSE(app->monitor().isVisible());
  }
  ASSERT_EQ(app->Start(), std::nullopt);
  MonitorWindow& monitor = app->monitor();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&monitor));

  monitor.setWindowState(monitor.windowState() | Qt::WindowMinimized);
  ASSERT_TRUE(monitor.isMinimized());
  app->BringToFront();
  EXPECT_FALSE(monitor.isMinimized());
  EXPECT_TRUE(QTest::qWaitForWindowActive(&monitor));

  monitor.hide();
  app->BringToFront();
  EXPECT_TRUE(monitor.isVisible());
  app->Exit();
  app->BringToFront();  // after exit it stays hidden
  EXPECT_FALSE(monitor.isVisible());
}

// Records whether the tray icon was still there when the monitor hid.
class HideWatcher : public QObject {
 public:
  explicit HideWatcher(TrayIcon& tray) : tray_(tray) {}
  std::optional<bool> iconVisibleAtHide;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Hide && !iconVisibleAtHide)
      iconVisibleAtHide = tray_.icon().isVisible();
    return false;
  }

 private:
  TrayIcon& tray_;
};

TEST_F(ShellAppTest, ExitRemovesTheIconFirstAndHidesEverything) {
  auto app = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(app->Start(), std::nullopt);
  ASSERT_TRUE(app->tray().icon().isVisible());
  HideWatcher watcher(app->tray());
  app->monitor().installEventFilter(&watcher);
  app->monitorMenu().exitAction()->trigger();
  ASSERT_TRUE(watcher.iconVisibleAtHide.has_value());
  EXPECT_FALSE(*watcher.iconVisibleAtHide);
  EXPECT_FALSE(app->tray().icon().isVisible());
  EXPECT_FALSE(app->monitor().isVisible());
  EXPECT_FALSE(app->refreshTimer().isActive());
  EXPECT_TRUE(app->exiting());
}

// 終了 chosen while start-up waits, in an adapter message box or in the web
// check's event loop, ends the program with 0 once the wait is over.
TEST_F(ShellAppTest, ExitChosenWhileStartUpWaitsEndsWithZero) {
  FakeSystem* system = nullptr;
  auto app = Make(SettingsText(158, 41, {}), &system);
  system->adapterStatus = AdapterTableStatus::kNoAdapters;
  bool webChecked = false;
  onMessage_ = [&] { app->trayMenu().exitAction()->trigger(); };
  webCheck_ = [&] { webChecked = true; };
  EXPECT_EQ(app->Start(), std::optional<int>(0));
  EXPECT_EQ(messages_.size(), 1);
  EXPECT_FALSE(app->monitor().isVisible());  // never shown
  EXPECT_FALSE(webChecked);
  EXPECT_FALSE(app->tray().icon().isVisible());

  auto second = Make(SettingsText(158, 41, {}));
  onMessage_ = nullptr;
  webCheck_ = [&] { second->monitorMenu().exitAction()->trigger(); };
  EXPECT_EQ(second->Start(), std::optional<int>(0));
  EXPECT_FALSE(second->monitor().isVisible());
  EXPECT_FALSE(second->tray().icon().isVisible());
}

TEST_F(ShellAppTest, ClosingTheMonitorWindowEndsTheProgram) {
  auto app = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(app->Start(), std::nullopt);
  app->monitor().close();
  EXPECT_TRUE(app->exiting());
  EXPECT_FALSE(app->tray().icon().isVisible());
}

}  // namespace
}  // namespace mirel
