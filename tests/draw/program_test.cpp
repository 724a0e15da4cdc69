// The program's behaviour with a shell that has no windows: start-up in its
// order, exit, the menus, the dialog's commands as they reach the rest of
// the program, the window's fit, a second start.
#include "behaviour/program.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "behaviour/desktop_session.h"
#include "behaviour/messages.h"
#include "behaviour/settings_commands.h"
#include "readings/web_check.h"
#include "settings/user_preferences.h"
#include "tests/fake_browser_store.h"
#include "tests/fake_shell.h"
#include "tests/fake_system.h"
#include "tests/settings_test_support.h"

namespace mirel {
namespace {

using fakes::FakeShell;
using fakes::SettingsText;
using fakes::WithLine;

class ProgramTest : public ::testing::Test {
 protected:
  Program& Make(const std::string& settingsUtf8, bool writeFile = true) {
    file_ = folder_.path() / "設定.ini";
    if (writeFile) std::ofstream(file_, std::ios::binary) << *MakeAnsiCodec()->ToAnsi(settingsUtf8);
    ProgramEnvironment env;
    env.executableDir = folder_.path();
    env.settingsFile = file_;
    env.configDir = folder_.path() / "config";
    env.dataDir = folder_.path() / "data";
    env.webCheckBase = webCheckBase_;
    auto system = std::make_unique<fakes::FakeSystem>();
    system_ = system.get();
    env.system = std::move(system);
    auto store = std::make_unique<fakes::FakeBrowserStore>();
    store_ = store.get();
    store_->createOutcome = KeyDisposition::kOpenedExisting;
    env.store = std::move(store);
    shell_ = std::make_unique<FakeShell>();
    program_ = std::make_unique<Program>(*shell_, std::move(env));
    return *program_;
  }

  std::string ProxyServer() {
    const RegValue* v = store_->Find(kInternetSettingsKey, "ProxyServer");
    return v ? v->text : "(none)";
  }
  void Tick(int row, bool on) {
    program_->dialog().RowTicked(*FindDialogControl("ListView2"), row, on);
  }
  int RowOf(const char* key) {
    const std::vector<ItemRow>& items = program_->settings().items;
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i].key == key) return static_cast<int>(i);
    return -1;
  }

  std::string PreferencesText() {
    return testing::ReadBytes(folder_.path() / "config" / kPreferencesFileName);
  }
  void Choose(const char* name, MenuOwner owner = MenuOwner::kTray) {
    const MenuModel menu = program_->OpenMenu(owner);
    ASSERT_NE(menu.FindNamed(name), nullptr) << name;
    program_->ChooseMenuEntry(owner, menu.FindNamed(name)->id);
  }

  testing::TempFolder folder_;
  std::string webCheckBase_ = "http://check.test";
  std::filesystem::path file_;
  fakes::FakeSystem* system_ = nullptr;
  fakes::FakeBrowserStore* store_ = nullptr;
  std::unique_ptr<FakeShell> shell_;
  std::unique_ptr<Program> program_;
};

TEST_F(ProgramTest, StartUpRunsInItsOrderAndExitTakesTheTrayIconFirst) {
  Program& p = Make(WithLine(SettingsText(158, 41, {"a:1"}), 21, " 1 "));  // version check on
  store_->PutString(kInternetSettingsKey, "ProxyServer", "a:1");
  EXPECT_EQ(p.Start(), std::nullopt);
  EXPECT_EQ(shell_->log, (std::vector<std::string>{"tray on", "watch network", "place monitor",
                                                   "refresh timer", "show monitor", "web check"}));
  // What the file applied: a 1 s tick, the window where it was, stretched
  // (resizable) and not on top, no toolbar.
  EXPECT_EQ(shell_->refreshMs, 1000);
  EXPECT_EQ(shell_->monitor, (PixelRect{100, 100, 158, 41}));
  EXPECT_TRUE(shell_->resizable);
  EXPECT_FALSE(shell_->topmost);
  EXPECT_FALSE(shell_->toolbarShown);
  // The upkeep looked for the window before start-up showed it (a message
  // box may hold start-up meanwhile); once it is seen shown, nothing polls.
  EXPECT_EQ(shell_->upkeepMs, MonitorUpkeep::kIntervalMs);
  p.UpkeepTick();
  EXPECT_EQ(shell_->upkeepMs, 0);
  EXPECT_EQ(shell_->paintedHeight, 0) << "before the first tick the stack is empty";
  EXPECT_EQ(shell_->fetched.front().rfind("http://check.test/cgi-bin/", 0), 0u);
  const SettingsModel& m = p.settings();
  EXPECT_EQ(m.proxyText, "a:1");
  EXPECT_FALSE(m.toolbarBoxesEnabled) << "the toolbar is off in the file";
  EXPECT_FALSE(m.ipCopyEntryVisible) << "the address item is not shown";
  EXPECT_TRUE(m.proxyEntryVisible);

  p.RefreshTick();
  EXPECT_EQ(shell_->paintedHeight, 4 * 14);
  EXPECT_EQ(shell_->toolbarCaption, kProgramTitle);

  shell_->log.clear();
  p.Exit();
  p.Exit();
  EXPECT_EQ(shell_->log, (std::vector<std::string>{"tray off", "hide monitor", "quit"}));
  EXPECT_EQ(shell_->quitStatus, 0);
  EXPECT_EQ(shell_->refreshMs, 0);
  EXPECT_EQ(shell_->watched, -1);
  const int paints = shell_->paints;
  p.RefreshTick();
  EXPECT_EQ(shell_->paints, paints) << "no tick after exit";
}

TEST_F(ProgramTest, WhatTheSessionCannotGiveIsToldOnce) {
  for (int start = 0; start < 2; ++start) {
    Program& p = Make(SettingsText(158, 41, {}));
    shell_->trayPresent = false;
    shell_->placesWindows = false;
    ASSERT_EQ(p.Start(), std::nullopt);
    const std::vector<std::string> told =
        start == 0 ? std::vector<std::string>{kNoTrayText, kNativeWaylandText}
                   : std::vector<std::string>{};
    EXPECT_EQ(shell_->notices, told) << start;
  }
}

TEST_F(ProgramTest, FailuresAndWaitsOfTheStartUp) {
  // No settings file: its message, no icon left, nothing written.
  {
    Program& p = Make("", false);
    EXPECT_EQ(p.Start(), std::optional<int>(1));
    EXPECT_EQ(shell_->log,
              (std::vector<std::string>{"tray on", "watch network", "tray off", "message"}));
    EXPECT_FALSE(std::filesystem::exists(file_));
  }
  // The adapter messages, each once; start-up goes on to show the monitor.
  const std::pair<AdapterTableStatus, const char*> cases[] = {
      {AdapterTableStatus::kNotSupported, "このバージョンのOSでこの機能はサポートされていません"},
      {AdapterTableStatus::kInvalidParameter,
       "出力バッファへのアクセスが許可されていないか、パラメータが不正です"},
      {AdapterTableStatus::kNoAdapters, "このコンピュータにはアダプタ情報が存在しません"},
      {AdapterTableStatus::kOtherFailure, nullptr},
  };
  for (const auto& [status, text] : cases) {
    Program& p = Make(SettingsText(158, 41, {}));
    system_->adapterStatus = status;
    EXPECT_EQ(p.Start(), std::nullopt);
    EXPECT_EQ(shell_->messages, text ? std::vector<std::string>{text} : std::vector<std::string>{});
    EXPECT_TRUE(shell_->MonitorShownOnScreen());
  }
  // 終了 while a message box waits: never shown, no web check, status 0.
  {
    Program& p = Make(SettingsText(158, 41, {}));
    system_->adapterStatus = AdapterTableStatus::kNoAdapters;
    shell_->onMessage = [&p] { p.Exit(); };
    EXPECT_EQ(p.Start(), std::optional<int>(0));
    EXPECT_FALSE(shell_->monitorShown);
    EXPECT_TRUE(shell_->fetched.empty());
    EXPECT_FALSE(shell_->trayShown);
  }
  // ... and while the web check waits.
  {
    Program& p = Make(WithLine(SettingsText(158, 41, {}), 21, " 1 "));
    shell_->fetch = [&p](const std::string&) {
      p.Exit();
      return FetchReply{};
    };
    EXPECT_EQ(p.Start(), std::optional<int>(0));
    EXPECT_FALSE(shell_->trayShown);
  }
}

// The traffic history runs with the program: each reading written, the last
// one at exit; "通信履歴" opens its window; a used-up limit marks the rate
// strips and is told through the tray once; the choices of the history
// window go to preferences.conf; a data folder that cannot be written is
// said once and the monitor goes on.
TEST_F(ProgramTest, TrafficHistoryRunsWithTheProgram) {
  std::filesystem::create_directories(folder_.path() / "config");
  std::ofstream(folder_.path() / "config" / kPreferencesFileName)
      << "# mine\nhistory.limit.eth0.daily = 3000\n";
  Program& p = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(p.Start(), std::nullopt);
  ASSERT_TRUE(p.history()->recording());
  system_->received = 4000;
  p.FlushHistory();
  p.RefreshTick();
  EXPECT_TRUE(p.readings().overLimit);
  EXPECT_EQ(shell_->trayNotices,
            (std::vector<std::string>{"今日の通信量が上限に達しました (eth0: 3.91 KB / 2.93 KB)"}));
  p.RefreshTick();
  EXPECT_EQ(shell_->trayNotices.size(), 1u);

  const MenuModel menu = p.OpenMenu(MenuOwner::kTray);
  p.ChooseMenuEntry(MenuOwner::kTray, menu.FindNamed("history")->id);
  EXPECT_EQ(shell_->log.back(), "history window");

  HistorySettings choice = p.history()->settings();
  choice.totals = TotalsSource::kToday;
  EXPECT_EQ(p.ChangeHistorySettings(choice), "");
  std::ifstream prefs(folder_.path() / "config" / kPreferencesFileName);
  const std::string kept((std::istreambuf_iterator<char>(prefs)), {});
  EXPECT_NE(kept.find("history.limit.eth0.daily = 3000\n"), std::string::npos) << kept;
  EXPECT_NE(kept.find("history.totals = today"), std::string::npos) << kept;
  EXPECT_NE(kept.find("# mine"), std::string::npos) << kept;

  system_->received = 4500;
  p.Exit();
  HistoryOpen written = HistoryStore::OpenForReading(folder_.path() / "data" / kHistoryFileName);
  ASSERT_TRUE(written.store) << written.message;
  std::uint64_t rx = 0;
  for (const HistoryBucket& b :
       written.store->Query(HistoryTable::kFiveMinutes, {"eth0"}, INT64_MIN, INT64_MAX))
    rx += b.rx;
  EXPECT_EQ(rx, 4500u) << "every reading up to the exit";
}

TEST_F(ProgramTest, AHistoryThatCannotBeWrittenIsSaidOnceAndTheMonitorGoesOn) {
  std::ofstream(folder_.path() / "data") << "a file where the folder goes";
  Program& p = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(p.Start(), std::nullopt);
  ASSERT_EQ(shell_->notices.size(), 1u);
  EXPECT_NE(shell_->notices[0].find("履歴なしで続けます"), std::string::npos) << shell_->notices[0];
  p.RefreshTick();
  p.RefreshTick();
  EXPECT_EQ(shell_->notices.size(), 1u);
  EXPECT_GT(shell_->paints, 0);
  EXPECT_FALSE(p.history()->recording());
}

TEST_F(ProgramTest, MenuEntriesDoWhatTheySay) {
  Program& p =
      Make(SettingsText(158, 41, {"proxy.test:8080", "PROXY.TEST:8080 社内", "other:3128"}));
  ASSERT_EQ(p.Start(), std::nullopt);
  store_->PutString(kInternetSettingsKey, "ProxyServer", "proxy.test:8080");
  store_->PutDword(kInternetSettingsKey, "ProxyEnable", 1);

  const MenuModel tray = p.OpenMenu(MenuOwner::kTray);
  const MenuEntry* proxies = tray.FindNamed("prox");
  ASSERT_EQ(proxies->entries.size(), 4u);
  std::vector<bool> marks;
  for (const MenuEntry& e : proxies->entries) marks.push_back(e.checked);
  EXPECT_EQ(marks, (std::vector<bool>{false, true, true, false}));
  EXPECT_FALSE(tray.FindNamed("ipc")->visible);

  p.ChooseMenuEntry(MenuOwner::kTray, proxies->entries[3].id);
  EXPECT_EQ(ProxyServer(), "other:3128");
  EXPECT_EQ(p.settings().proxyText, "other:3128");
  EXPECT_EQ(p.settings().statusText, "other:3128 プロキシを変更しました");
  EXPECT_EQ(shell_->refreshes.back(), DialogPart::kProxyText | DialogPart::kStatus);

  // The other menu reads the new proxy on its own opening; "使用しない"
  // stores none and leaves the switch alone.
  const MenuModel window = p.OpenMenu(MenuOwner::kMonitor);
  EXPECT_TRUE(window.FindNamed("pro_3")->checked);
  p.ChooseMenuEntry(MenuOwner::kMonitor, window.FindNamed("pro_0")->id);
  EXPECT_EQ(ProxyServer(), "");
  EXPECT_EQ(p.settings().statusText, "使用しない プロキシを変更しました");
  EXPECT_EQ(store_->Find(kInternetSettingsKey, "ProxyEnable")->dword, 1u);

  // "プロキシを使う" shows the switch as each opening reads it and flips it.
  EXPECT_TRUE(window.FindNamed("proxuse")->checked);
  Choose("proxuse");
  EXPECT_EQ(store_->Find(kInternetSettingsKey, "ProxyEnable")->dword, 0u);
  EXPECT_EQ(p.settings().statusText, "プロキシを OFF にしました");
  EXPECT_FALSE(p.OpenMenu(MenuOwner::kTray).FindNamed("proxuse")->checked);
  Choose("proxuse", MenuOwner::kMonitor);
  EXPECT_EQ(store_->Find(kInternetSettingsKey, "ProxyEnable")->dword, 1u);
  EXPECT_TRUE(shell_->notices.empty());

  // The address item and its entry shown: the copy puts zeros while the
  // web check could not reach its site.
  Tick(RowOf("104"), true);
  const MenuModel withCopy = p.OpenMenu(MenuOwner::kTray);
  ASSERT_TRUE(withCopy.FindNamed("ipc")->visible);
  p.ChooseMenuEntry(MenuOwner::kTray, withCopy.FindNamed("ipc")->id);
  EXPECT_EQ(shell_->clipboard, "0,0,0,0");
  EXPECT_EQ(shell_->notices, std::vector<std::string>{IpUnknownNotice(kRestartToShowText)});

  // オプション: the status line cleared, the dialog opened where it was.
  p.ChooseMenuEntry(MenuOwner::kTray, withCopy.FindNamed("option")->id);
  EXPECT_TRUE(shell_->dialogOpen);
  EXPECT_EQ(p.settings().statusText, "");
  EXPECT_FALSE(shell_->lastOpening.makeTopmost) << "常に手前に表示 is ＯＦＦ";
  p.ChooseMenuEntry(MenuOwner::kTray, 999);  // an id no entry has
  EXPECT_FALSE(shell_->quitStatus.has_value());
  p.ChooseMenuEntry(MenuOwner::kTray, withCopy.FindNamed("en")->id);
  EXPECT_EQ(shell_->quitStatus, 0);
}

TEST_F(ProgramTest, AFailedMenuChoiceIsToldOnceAsANoticeWhileTheDialogIsClosed) {
  Program& p = Make(SettingsText(158, 41, {"a:1"}));
  ASSERT_EQ(p.Start(), std::nullopt);
  store_->failSets = true;
  Choose("pro_1");
  Choose("pro_1");  // at once again: no second notice
  Choose("proxuse");
  EXPECT_EQ(shell_->notices,
            (std::vector<std::string>{ProxySwitchFailedNotice("a:1"), ProxyUseFailedNotice(true)}));
  EXPECT_EQ(p.settings().statusText, "エラー");
  EXPECT_TRUE(shell_->messages.empty()) << "no modal box on top of the notice";

  // With the dialog open its status line tells, as it always did.
  Choose("option");
  Choose("pro_0");
  EXPECT_EQ(p.settings().statusText, "エラー");
  EXPECT_EQ(shell_->refreshes.back(), DialogPart::kProxyText | DialogPart::kStatus);
  EXPECT_EQ(shell_->notices.size(), 2u);

  // A key made new is "エラー" in the line but holds the choice: not told.
  p.dialog().Pressed(*FindDialogControl("Command2"), 0);
  store_->failSets = false;
  store_->keys.clear();
  store_->createOutcome = KeyDisposition::kCreatedNew;
  Choose("pro_1");
  EXPECT_EQ(ProxyServer(), "a:1");
  EXPECT_EQ(p.settings().statusText, "エラー");
  EXPECT_EQ(shell_->notices.size(), 2u);

  NoticeGate gate;
  EXPECT_TRUE(gate.Pass("x", 0));
  EXPECT_FALSE(gate.Pass("x", NoticeGate::kRepeatMs - 1));
  EXPECT_TRUE(gate.Pass("y", 1));
  EXPECT_TRUE(gate.Pass("x", NoticeGate::kRepeatMs));
}

TEST_F(ProgramTest, TheWebCheckAddressComesFromTheLineThePreferencesOrNowhere) {
  const std::string settings = WithLine(SettingsText(158, 41, {}), 21, " 1 ");  // version check on
  // Nowhere (the build's default aside): nothing asked, and the strip says
  // so rather than 接続不能.
  webCheckBase_ = "";
  if (*kDefaultWebCheckBase == '\0') {
    Program& p = Make(settings);
    ASSERT_EQ(p.Start(), std::nullopt);
    EXPECT_TRUE(shell_->fetched.empty());
    Tick(RowOf("104"), true);
    p.RefreshTick();
    EXPECT_EQ(p.readings().Text(ItemKey::kGlobalIp), "未設定");
    Choose("ipc");
    EXPECT_EQ(shell_->clipboard, "0,0,0,0");
    EXPECT_EQ(shell_->notices, std::vector<std::string>{IpUnknownNotice(kNotConfiguredText)});

    // The dialog's field: a bad address is refused (the rest is saved), a
    // good one goes to preferences.conf and is asked at the next start.
    DialogEvents& d = p.dialog();
    const DialogControl& field = *FindDialogControl("Text2");
    EXPECT_EQ(ControlText(field, p.settings()), "");
    d.Edited(field, "ftp://check.test");
    d.Pressed(*FindDialogControl("Command3"), 0);
    EXPECT_EQ(p.settings().statusText, kBadWebCheckBaseText);
    EXPECT_TRUE(std::filesystem::exists(file_));
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "config" / kPreferencesFileName));
    d.Edited(field, " http://pref.test/m ");  // pasted with blanks
    d.Pressed(*FindDialogControl("Command3"), 0);
    EXPECT_EQ(p.settings().statusText, kSavedText);
    EXPECT_EQ(PreferencesText(), "webcheck.base = http://pref.test/m\n");
    p.RefreshTick();
    EXPECT_EQ(p.readings().Text(ItemKey::kGlobalIp), kRestartToShowText);
  } else {
    testing::WriteBytes(folder_.path() / "config" / kPreferencesFileName,
                        "webcheck.base = http://pref.test/m\n");
  }

  // The preferences' address, shown in the field; the command line's (or
  // the environment's) over it, and a save that leaves the field as it was
  // leaves the file alone.
  for (const char* given : {"", "http://line.test"}) {
    webCheckBase_ = given;
    Program& p = Make(settings);
    ASSERT_EQ(p.Start(), std::nullopt);
    const std::string used = *given ? given : "http://pref.test/m";
    ASSERT_FALSE(shell_->fetched.empty());
    EXPECT_EQ(shell_->fetched.front().rfind(used + "/cgi-bin/", 0), 0u) << shell_->fetched.front();
    EXPECT_EQ(p.settings().webCheckBase, used);
    p.dialog().Pressed(*FindDialogControl("Command3"), 0);
    EXPECT_EQ(PreferencesText(), "webcheck.base = http://pref.test/m\n");
  }
}

TEST_F(ProgramTest, DialogCommandsReachTheWindowsTheTimerAndTheFile) {
  Program& p = Make(SettingsText(158, 41, {}));
  ASSERT_EQ(p.Start(), std::nullopt);
  DialogEvents& d = p.dialog();
  auto row = [](const char* name) -> const DialogControl& { return *FindDialogControl(name); };

  d.Chosen(row("Slider2"), 7);
  EXPECT_EQ(shell_->refreshMs, 3500);
  d.Chosen(row("Option4"), 1);  // マウスオーバーで表示: polling from now on
  EXPECT_EQ(shell_->upkeepMs, MonitorUpkeep::kIntervalMs);
  d.Chosen(row("Option4"), 0);
  EXPECT_EQ(shell_->upkeepMs, 0);
  d.Toggled(row("Check2_1"), true);
  EXPECT_TRUE(shell_->toolbarShown);
  EXPECT_TRUE(p.settings().toolbarBoxesEnabled);
  d.Toggled(row("Check2_1"), false);
  EXPECT_FALSE(shell_->toolbarShown);

  // The window back to the stack's height and default width, then to the
  // corner; a save takes the place the window has now.
  p.RefreshTick();
  d.Pressed(row("Command4"), 0);
  EXPECT_EQ(shell_->monitor, (PixelRect{100, 100, 158, 4 * 14}));
  EXPECT_EQ(p.settings().statusText, "ウインドウサイズを初期化しました");
  d.Pressed(row("Command5"), 0);
  EXPECT_EQ(shell_->monitor, (PixelRect{0, 0, 158, 4 * 14}));
  shell_->monitor = {40, 30, 200, 60};
  d.Pressed(row("Command3"), 0);
  EXPECT_EQ(p.settings().statusText, "設定を保存しました");
  EXPECT_EQ(p.settings().display.left, 600);
  EXPECT_EQ(p.settings().display.height, 60 * 15 + 128);
  EXPECT_EQ(shell_->refreshes.back(),
            DialogPart::kItemList | DialogPart::kDriveList | DialogPart::kStatus);
  EXPECT_NE(testing::ReadBytes(file_).find(" 600 \r\n"), std::string::npos);

  // 閉じる: the monitor shown again, on top as now chosen, the timer as set.
  d.Chosen(row("Option2"), 0);
  shell_->monitorMinimised = true;
  d.Pressed(row("Command2"), 0);
  EXPECT_FALSE(shell_->dialogOpen);
  EXPECT_TRUE(shell_->MonitorShownOnScreen());
  EXPECT_TRUE(shell_->topmost);
  EXPECT_EQ(shell_->refreshMs, 3500);
  shell_->colour = Rgb(1, 2, 3);
  d.Pressed(row("color"), 7);
  EXPECT_EQ(p.settings().graphBackColor(), Rgb(1, 2, 3));
  d.Pressed(row("Label3"), 0);
  EXPECT_EQ(shell_->openedUrls, std::vector<std::string>{kHomePage});
}

TEST_F(ProgramTest, FixedSizeFitsTheWindowAndAnEmptyStackLeavesNoDrawingArea) {
  // Fixed size, only the disk item shown, and no disk: nothing to draw.
  Program& p = Make(WithLine(WithLine(SettingsText(158, 41, {}), 20, "1"), 1, "000000000000100"));
  ASSERT_EQ(p.Start(), std::nullopt);
  p.RefreshTick();
  EXPECT_EQ(shell_->monitor, (PixelRect{100, 100, 158, 1}));
  EXPECT_EQ(shell_->paintedHeight, 0);
  EXPECT_FALSE(shell_->resizable);
  EXPECT_EQ(p.settings().display.height, 128);
  EXPECT_EQ(p.settings().display.scaleHeight, 0);
  p.MonitorGeometryChanged();  // the window's one pixel is no drawing area
  EXPECT_EQ(p.settings().display.height, 128);

  // The processor item too: fitted to its strip at the next tick, and only
  // when the size differs.
  Tick(RowOf("100"), true);
  p.RefreshTick();
  EXPECT_EQ(shell_->monitor, (PixelRect{100, 100, 158, 14}));
  EXPECT_EQ(p.settings().display.height, 14 * 15 + 128);
  shell_->log.clear();
  p.RefreshTick();
  EXPECT_TRUE(shell_->log.empty());
}

TEST_F(ProgramTest, ASecondStartBringsTheMonitorAndTheNetworkIsFollowed) {
  Program& p = Make(SettingsText(158, 41, {}));
  p.BringToFront();  // before start-up shows the monitor: only a message box comes
  EXPECT_EQ(shell_->log, std::vector<std::string>{"raise message"});
  ASSERT_EQ(p.Start(), std::nullopt);
  shell_->monitorMinimised = true;
  shell_->log.clear();
  p.BringToFront();
  EXPECT_EQ(shell_->log,
            (std::vector<std::string>{"raise message", "show monitor", "raise monitor"}));

  // A VPN comes up and takes the default route: read when the watch says
  // so, once its burst of notices has been quiet, with the watch paused
  // meanwhile.
  const std::intptr_t watched = shell_->watched;
  system_->table.push_back({5, kIfTypeTunnel, "tun0"});
  system_->routed = "tun0";
  system_->Announce({true, true, true});
  shell_->refreshes.clear();
  p.NetworkReadable();
  EXPECT_EQ(p.settings().interfaceList.size(), 1u);
  EXPECT_EQ(shell_->watched, -1);
  EXPECT_GT(shell_->networkTimerMs, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(shell_->networkTimerMs + 20));
  p.NetworkReadable();  // the timer fired
  EXPECT_EQ(p.settings().interfaceList.back(), "tun0");
  EXPECT_EQ(shell_->refreshes, std::vector<DialogParts>{DialogPart::kInterfaces});
  EXPECT_EQ(shell_->watched, watched);

  p.Exit();
  shell_->log.clear();
  p.BringToFront();
  EXPECT_TRUE(shell_->log.empty()) << "after exit it stays hidden";
}

}  // namespace
}  // namespace mirel
