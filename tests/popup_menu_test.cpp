#include "behaviour/popup_menu.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "fake_browser_store.h"
#include "readings/web_check_results.h"
#ifdef __linux__
#include <unistd.h>

#include "platform/linux/browser_store_linux.h"
#endif

namespace mirel {
namespace {

using fakes::FakeBrowserStore;

std::vector<bool> Marks(const std::vector<ProxyMenuEntry>& entries) {
  std::vector<bool> out;
  for (const ProxyMenuEntry& e : entries) out.push_back(e.checked);
  return out;
}

TEST(ProxyEntriesTest, MarksFollowCaseInsensitivePrefix) {
  struct Case {
    const char* label;
    std::string current;
    std::vector<std::string> list;
    std::vector<bool> marks;  // entry 0 ("使用しない") first
  };
  const Case cases[] = {
      {"exact and capitalised with remark",
       "proxy.example:8080",
       {"proxy.example:8080", "PROXY.EXAMPLE:8080 会社", "other.example:3128"},
       {false, true, true, false}},
      {"no proxy, empty list", "", {}, {true}},
      {"no proxy marks no entry", "", {"a:1", "b:2"}, {true, false, false}},
      {"current longer than caption", "a.example:80", {"a.example"}, {false, false}},
      {"found later in caption is no prefix", "example:80", {"a.example:80"}, {false, false}},
      {"prefix of a longer host also marks", "a.ex", {"a.example:80"}, {false, true}},
      {"full-width letters fold too",
       "ＰＲＯＸＹ",
       {"ｐｒｏｘｙ：１", "ＰＲＯＸ"},
       {false, true, false}},
      {"kana are not case-folded", "ぷろ", {"プロキシ"}, {false, false}},
  };
  for (const Case& c : cases) {
    std::vector<ProxyMenuEntry> entries = BuildProxyEntries(c.current, c.list);
    ASSERT_EQ(entries.size(), c.list.size() + 1) << c.label;
    EXPECT_EQ(entries[0].caption, "使用しない") << c.label;
    for (std::size_t i = 0; i < c.list.size(); ++i) {
      EXPECT_EQ(entries[i + 1].caption, c.list[i]) << c.label;
    }
    EXPECT_EQ(Marks(entries), c.marks) << c.label;
  }
}

struct RecordingMenu : MenuActions {
  SettingsModel model;
  std::string proxy;
  bool inUse = false;
  int proxyReads = 0;
  std::vector<std::string> done;
  const SettingsModel& settings() const override { return model; }
  std::string ReadCurrentProxy() override {
    ++proxyReads;
    return proxy;
  }
  bool ReadProxyInUse() override { return inUse; }
  void UseProxy(bool on) override { done.push_back(on ? "use on" : "use off"); }
  void OpenOptions() override { done.push_back("options"); }
  void CopyIp() override { done.push_back("copy"); }
  void ChooseProxy(std::size_t k, const std::string& caption) override {
    done.push_back(std::to_string(k) + " " + caption);
  }
  void OpenHistory() override { done.push_back("history"); }
  void Exit() override { done.push_back("exit"); }
};

// The names of the entries a shell shows, a submenu's in brackets, "*" for a mark.
std::string Shown(const std::vector<MenuEntry>& entries) {
  std::string out;
  for (const MenuEntry& e : entries) {
    if (!e.visible) continue;
    out += (out.empty() ? "" : " ") + e.name + (e.checked ? "*" : "");
    if (e.kind == MenuEntry::Kind::kSubmenu) out += "[" + Shown(e.entries) + "]";
  }
  return out;
}

TEST(PopupMenuTest, EveryOpeningRereadsAndEveryCommandHasItsOwnId) {
  RecordingMenu a;
  a.model.proxyList = {"a:1", "b:2", "c:3"};
  a.model.ipCopyEntryVisible = true;
  a.proxy = "b:2";
  const MenuModel first = BuildMenu(a);
  // The settings hide the submenu; it is built all the same.
  EXPECT_EQ(Shown(first.entries), "option ipc history line1 en");
  EXPECT_FALSE(first.FindNamed("prox")->visible);
  EXPECT_TRUE(first.FindNamed("pro_2")->checked);
  EXPECT_FALSE(first.FindNamed("pro_1")->checked);
  EXPECT_EQ(first.FindNamed("pro_3")->caption, "c:3");
  EXPECT_EQ(first.FindNamed("line1")->kind, MenuEntry::Kind::kSeparator);
  std::set<int> ids;
  for (const char* name :
       {"option", "ipc", "en", "pro_0", "pro_1", "pro_2", "pro_3", "proxuse", "history"}) {
    const MenuEntry* e = first.FindNamed(name);
    EXPECT_GT(e->id, 0) << name;
    EXPECT_TRUE(ids.insert(e->id).second) << name;
    EXPECT_EQ(first.Find(e->id), e);
  }
  EXPECT_EQ(first.FindNamed("prox")->id, 0);

  // A hidden entry cannot be chosen, nor an id the menu does not have.
  EXPECT_FALSE(ChooseMenuEntry(a, first, first.FindNamed("pro_3")->id));
  EXPECT_FALSE(ChooseMenuEntry(a, first, 999));
  EXPECT_FALSE(ChooseMenuEntry(a, first, 0));
  EXPECT_TRUE(a.done.empty());

  // The dialog removed an entry, another program cleared the proxy, the
  // submenu is shown again.
  a.model.proxyList.erase(a.model.proxyList.begin() + 1);
  a.model.proxyEntryVisible = true;
  a.model.ipCopyEntryVisible = false;
  a.proxy.clear();
  a.inUse = true;
  const MenuModel second = BuildMenu(a);
  // The switch beside the submenu, ticked while the proxy is on; choosing
  // it asks for the opposite of the tick it showed.
  EXPECT_EQ(Shown(second.entries), "option prox[pro_0* pro_1 pro_2] proxuse* history line1 en");
  EXPECT_EQ(second.FindNamed("proxuse")->caption, "プロキシを使う");
  EXPECT_EQ(a.proxyReads, 2);
  for (const char* name : {"pro_2", "pro_0", "proxuse", "option", "history", "en"})
    EXPECT_TRUE(ChooseMenuEntry(a, second, second.FindNamed(name)->id)) << name;
  EXPECT_FALSE(ChooseMenuEntry(a, second, second.FindNamed("ipc")->id));
  EXPECT_EQ(a.done, (std::vector<std::string>{"2 c:3", "0 使用しない", "use off", "options",
                                              "history", "exit"}));
  a.inUse = false;
  a.done.clear();
  const MenuModel third = BuildMenu(a);
  EXPECT_TRUE(ChooseMenuEntry(a, third, third.FindNamed("proxuse")->id));
  EXPECT_EQ(a.done, std::vector<std::string>{"use on"});
}

TEST(ChooseProxyEntryTest, StatusAndStoredValuePerOutcome) {
  struct Case {
    const char* label;
    KeyDisposition create;  // for a key that is missing
    bool keyExists;
    bool failSets;
    std::size_t index;
    std::string caption;
    std::string status;
    const char* stored;  // nullptr: nothing written
    bool result;
  };
  const Case cases[] = {
      {"opened", KeyDisposition::kCreatedNew, true, false, 2, "b.example:8080",
       "b.example:8080 プロキシを変更しました", "b.example:8080", true},
      {"no proxy stores empty text", KeyDisposition::kCreatedNew, true, false, 0, "使用しない",
       "使用しない プロキシを変更しました", "", true},
      {"key created new", KeyDisposition::kCreatedNew, false, false, 1, "a:1", "エラー", "a:1",
       true},
      {"key cannot be opened", KeyDisposition::kFailed, true, false, 1, "a:1", "エラー", nullptr,
       false},
      {"write fails", KeyDisposition::kCreatedNew, true, true, 1, "a:1", "エラー", nullptr, false},
  };
  for (const Case& c : cases) {
    FakeBrowserStore store;
    store.createOutcome = c.create;
    store.failSets = c.failSets;
    if (c.keyExists) store.PutDword(kInternetSettingsKey, "ProxyEnable", 1);
    SettingsModel settings;
    settings.statusText = "old status";
    settings.proxyText = "old text";

    EXPECT_EQ(ChooseProxyEntry(store, settings, c.index, c.caption), c.result) << c.label;
    EXPECT_EQ(settings.statusText, c.status) << c.label;
    EXPECT_EQ(settings.proxyText, c.caption) << c.label;
    const RegValue* v = store.Find(kInternetSettingsKey, "ProxyServer");
    if (c.stored == nullptr) {
      EXPECT_EQ(v, nullptr) << c.label;
    } else {
      ASSERT_NE(v, nullptr) << c.label;
      EXPECT_EQ(v->kind, RegValue::Kind::kString) << c.label;
      EXPECT_EQ(v->text, c.stored) << c.label;
    }
    if (c.keyExists) {
      const RegValue* enable = store.Find(kInternetSettingsKey, "ProxyEnable");
      ASSERT_NE(enable, nullptr);
      EXPECT_EQ(enable->dword, 1u) << c.label << ": the switch is not the menu's business";
    }
  }
}

#ifdef __linux__
TEST(ChooseProxyEntryTest, FirstChoiceOnFreshFileStoreWarnsThenSucceeds) {
  char tmpl[] = "/tmp/mirel-menu-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::filesystem::path dir = tmpl;
  auto store = MakeLinuxBrowserSettingsStore(dir, DesktopProxyUse::kNever);
  RegistryAccess registry(*store);
  SettingsModel settings;

  EXPECT_TRUE(ChooseProxyEntry(*store, settings, 1, "proxy.example:3128"));
  EXPECT_EQ(settings.statusText, "エラー");
  EXPECT_EQ(ProxGet(registry), "proxy.example:3128");

  EXPECT_TRUE(ChooseProxyEntry(*store, settings, 0, "使用しない"));
  EXPECT_EQ(settings.statusText, "使用しない プロキシを変更しました");
  EXPECT_EQ(ProxGet(registry), "");
  EXPECT_EQ(Marks(BuildProxyEntries(ProxGet(registry), {"proxy.example:3128"})),
            (std::vector<bool>{true, false}));
  std::filesystem::remove_all(dir);
}
#endif

TEST(IpCopyTextTest, PlaceholdersCopyAsNoAddress) {
  const std::pair<std::string, std::string> cases[] = {
      {"203.0.113.7", "203.0.113.7"},
      {kRestartToShowText, "0,0,0,0"},
      {kUnreachableText, "0,0,0,0"},
      {kLoadingText, "0,0,0,0"},
      {kNotConfiguredText, "0,0,0,0"},
      {"Now Loading・・・", "Now Loading・・・"},  // ASCII blank: not the placeholder
      {"", "0,0,0,0"},
  };
  for (const auto& [ip, copied] : cases) EXPECT_EQ(IpCopyText(ip), copied) << ip;
}

}  // namespace
}  // namespace mirel
