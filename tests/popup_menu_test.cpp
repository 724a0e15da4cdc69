#include "behaviour/popup_menu.h"

#include <gtest/gtest.h>

#include <filesystem>

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

TEST(PopupMenuTest, EveryOpeningRereadsProxyAndList) {
  FakeBrowserStore store;
  store.PutString(kInternetSettingsKey, "ProxyServer", "b:2");
  RegistryAccess registry(store);
  SettingsModel settings;
  settings.proxyList = {"a:1", "b:2", "c:3"};
  settings.ipCopyEntryVisible = true;
  settings.proxyEntryVisible = false;

  PopupMenuModel first = BuildPopupMenu(registry, settings);
  EXPECT_EQ(first.currentProxy, "b:2");
  EXPECT_TRUE(first.ipCopyVisible);
  EXPECT_FALSE(first.proxyVisible);
  EXPECT_EQ(Marks(first.proxyEntries), (std::vector<bool>{false, false, true, false}));

  // The dialog removed an entry and another program cleared the proxy.
  settings.proxyList.erase(settings.proxyList.begin() + 1);
  store.keys[kInternetSettingsKey].erase("ProxyServer");
  PopupMenuModel second = BuildPopupMenu(registry, settings);
  EXPECT_EQ(second.currentProxy, "");
  ASSERT_EQ(second.proxyEntries.size(), 3u);
  EXPECT_EQ(second.proxyEntries[2].caption, "c:3");
  EXPECT_EQ(Marks(second.proxyEntries), (std::vector<bool>{true, false, false}));
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
      {"Now Loading・・・", "Now Loading・・・"},  // ASCII blank: not the placeholder
      {"", "0,0,0,0"},
  };
  for (const auto& [ip, copied] : cases) EXPECT_EQ(IpCopyText(ip), copied) << ip;
}

}  // namespace
}  // namespace mirel
