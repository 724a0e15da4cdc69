// The browser settings in the live registry of the current user (a private
// Wine prefix in the cross build).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "behaviour/popup_menu.h"
#include "platform/platform.h"
#include "platform/windows/browser_store_windows.h"
#include "readings/registry.h"

namespace mirel {
namespace {

using windows_source::AnnounceInternetSettingsChange;
using windows_source::MakeRegistryStore;

// A key of our own under HKEY_CURRENT_USER\Software, removed afterwards.
class ScratchKey : public testing::Test {
 protected:
  ScratchKey()
      : path_("Software\\mirel9x-test-" + std::to_string(GetCurrentProcessId()) + "\\設定") {}
  ~ScratchKey() override {
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   (L"Software\\mirel9x-test-" + std::to_wstring(GetCurrentProcessId())).c_str());
  }

  // The value as the registry holds it: its type and raw bytes.
  std::pair<DWORD, std::string> Raw(const wchar_t* name) {
    const std::wstring path =
        L"Software\\mirel9x-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\設定";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
      return {REG_NONE, "no key"};
    }
    BYTE data[256] = {};
    DWORD type = 0, size = sizeof data;
    const LSTATUS result = RegQueryValueExW(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return {REG_NONE, "missing"};
    return {type, std::string(reinterpret_cast<const char*>(data), size)};
  }
  void SetRaw(const wchar_t* name, DWORD type, const std::string& bytes) {
    const std::wstring path =
        L"Software\\mirel9x-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\設定";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name, type, bytes.data(),
                              static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }

  std::string path_;
  int announced_ = 0;
  std::unique_ptr<BrowserSettingsStore> store_ = MakeRegistryStore([this] { ++announced_; });
};

TEST_F(ScratchKey, CreatedThenOpenedAndValuesRoundTrip) {
  EXPECT_FALSE(store_->Query(path_, "ProxyServer").has_value()) << "no key yet";
  EXPECT_EQ(store_->CreateKey(path_), KeyDisposition::kCreatedNew);
  EXPECT_EQ(store_->CreateKey(path_), KeyDisposition::kOpenedExisting);
  EXPECT_FALSE(store_->Query(path_, "ProxyServer").has_value()) << "no value yet";

  const std::string proxy = "プロキシ.example:8080 ～①髙ｶﾅ";
  ASSERT_TRUE(store_->SetString(path_, "ProxyServer", proxy));
  std::optional<RegValue> text = store_->Query(path_, "ProxyServer");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->kind, RegValue::Kind::kString);
  RegistryAccess registry(*store_);
  EXPECT_EQ(registry.ReadRegValue(path_, "ProxyServer"), proxy);
  // Stored as UTF-16 with its terminating zero, as other programs read it.
  auto [type, bytes] = Raw(L"ProxyServer");
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  const std::wstring wide = L"プロキシ.example:8080 ～①髙ｶﾅ";
  EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(wide.c_str()),
                               (wide.size() + 1) * sizeof(wchar_t)));

  ASSERT_TRUE(store_->SetDword(path_, "1400", 3));
  std::optional<RegValue> number = store_->Query(path_, "1400");
  ASSERT_TRUE(number.has_value());
  EXPECT_EQ(number->kind, RegValue::Kind::kDword);
  EXPECT_EQ(number->dword, 3u);
  EXPECT_EQ(Raw(L"1400"), std::make_pair(DWORD{REG_DWORD}, std::string("\3\0\0\0", 4)));

  // WriteRegDword sign-extends.
  ASSERT_TRUE(registry.WriteRegDword(path_, "1402", -1));
  EXPECT_EQ(registry.ReadRegValue(path_, "1402"), "4294967295");
  EXPECT_EQ(registry.ReadRegValue(path_, "not there"), "");

  ASSERT_TRUE(store_->SetString(path_, "ProxyServer", ""));
  EXPECT_EQ(registry.ReadRegValue(path_, "ProxyServer"), "");
  EXPECT_EQ(announced_, 0) << "nothing of the browser's changed";
}

TEST_F(ScratchKey, OtherKindsComeBackAsTheirBytes) {
  ASSERT_EQ(store_->CreateKey(path_), KeyDisposition::kCreatedNew);
  SetRaw(L"binary", REG_BINARY, std::string("\x31\x00\x32", 3));
  SetRaw(L"short", REG_DWORD, std::string("\x01\x00", 2));  // not a whole DWORD
  const std::wstring two(L"one\0two\0", 9);
  SetRaw(L"multi", REG_MULTI_SZ,
         std::string(reinterpret_cast<const char*>(two.data()), two.size() * sizeof(wchar_t)));

  std::optional<RegValue> binary = store_->Query(path_, "binary");
  ASSERT_TRUE(binary.has_value());
  EXPECT_EQ(binary->kind, RegValue::Kind::kBinary);
  EXPECT_EQ(binary->text, std::string("\x31\x00\x32", 3));
  std::optional<RegValue> shortValue = store_->Query(path_, "short");
  ASSERT_TRUE(shortValue.has_value());
  EXPECT_EQ(shortValue->kind, RegValue::Kind::kBinary);

  RegistryAccess registry(*store_);
  EXPECT_EQ(registry.ReadRegValue(path_, "binary"), "1") << "up to the first zero byte";
  EXPECT_EQ(registry.ReadRegValue(path_, "multi"), "one") << "the first string";
}

TEST_F(ScratchKey, TextThatIsNotUtf8IsRefusedNotMangled) {
  EXPECT_EQ(store_->CreateKey("Software\\\xff"), KeyDisposition::kFailed);
  EXPECT_FALSE(store_->SetString(path_, "ProxyServer", "bad \xe3\x81"));
  EXPECT_FALSE(store_->SetDword(path_, "\xc3", 1));
  EXPECT_FALSE(store_->Query(path_, "\xc3").has_value());
}

// The real Internet Settings key of this user: the values the monitor reads
// and the popup menu writes.
class InternetSettings : public testing::Test {
 protected:
  void SetUp() override {
    registry_.onWriteError = [this] { ++writeErrors_; };
    savedProxy_ = store_->Query(kInternetSettingsKey, "ProxyServer");
    savedScripting_ = store_->Query(kZone3Key, "1400");
  }
  void TearDown() override {
    const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    if (savedProxy_) {
      store_->SetString(kInternetSettingsKey, "ProxyServer", savedProxy_->text);
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"ProxyServer");
    }
    if (savedScripting_ && savedScripting_->kind == RegValue::Kind::kDword) {
      store_->SetDword(kZone3Key, "1400", savedScripting_->dword);
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, (key + L"\\Zones\\3").c_str(), L"1400");
    }
  }

  int announced_ = 0;
  int writeErrors_ = 0;
  std::unique_ptr<BrowserSettingsStore> store_ = MakeRegistryStore([this] { ++announced_; });
  RegistryAccess registry_{*store_};
  std::optional<RegValue> savedProxy_, savedScripting_;
};

TEST_F(InternetSettings, ProxyChoiceIsWrittenAnnouncedAndReadBack) {
  SettingsModel settings;
  ASSERT_TRUE(ChooseProxyEntry(*store_, settings, 1, "proxy.example:3128 社内"));
  EXPECT_EQ(settings.statusText, "proxy.example:3128 社内 プロキシを変更しました")
      << "the key exists, so no error";
  EXPECT_EQ(ProxGet(registry_), "proxy.example:3128 社内");
  EXPECT_EQ(announced_, 1);

  ASSERT_TRUE(ChooseProxyEntry(*store_, settings, 0, "使用しない"));
  EXPECT_EQ(settings.statusText, "使用しない プロキシを変更しました");
  EXPECT_EQ(ProxGet(registry_), "");
  EXPECT_EQ(announced_, 2);
}

TEST_F(InternetSettings, ZoneSwitchIsADwordOfTheZoneKey) {
  ASSERT_TRUE(registry_.WriteRegDword(kZone3Key, "1400", 3));
  EXPECT_EQ(registry_.ReadRegValue(kZone3Key, "1400"), "3");
  ASSERT_TRUE(registry_.WriteRegDword(kZone3Key, "1400", 0));
  EXPECT_EQ(registry_.ReadRegValue(kZone3Key, "1400"), "0");
  EXPECT_EQ(announced_, 2);
  EXPECT_EQ(writeErrors_, 0);
}

TEST(InternetSettingsNoticeTest, OnlyWritesUnderInternetSettingsAreAnnounced) {
  int announced = 0;
  auto store = MakeRegistryStore([&] { ++announced; });
  const std::string scratch = "Software\\mirel9x-test-" + std::to_string(GetCurrentProcessId());
  const std::string lookAlike =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Internet SettingsX-mirel9x-test";
  ASSERT_TRUE(store->SetDword(scratch, "v", 1));
  ASSERT_TRUE(store->SetDword(lookAlike, "v", 1));
  EXPECT_EQ(announced, 0);
  ASSERT_TRUE(store->SetDword(
      "SOFTWARE\\microsoft\\windows\\currentversion\\internet settings\\mirel9x-test", "v", 1));
  EXPECT_EQ(announced, 1) << "key names are not case sensitive";
  EXPECT_FALSE(store->SetDword(kInternetSettingsKey, "\xc3", 1));
  EXPECT_EQ(announced, 1) << "a failed write announces nothing";
  RegDeleteTreeW(HKEY_CURRENT_USER, std::wstring(scratch.begin(), scratch.end()).c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, std::wstring(lookAlike.begin(), lookAlike.end()).c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER,
                 L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\mirel9x-test");
}

TEST(InternetSettingsNoticeTest, WinInetTakesTheNotice) {
  // Whether the refresh succeeds depends on the WinINet sessions around; the
  // change notice itself is always taken.
  EXPECT_TRUE(AnnounceInternetSettingsChange().settingsChanged);
}

}  // namespace
}  // namespace mirel
