// The Linux browser-settings store: the desktop proxy through GSettings (in
// memory only, never this machine's desktop) and the REGEDIT4 file.
#ifdef __linux__
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "browser_control/registry.h"
#include "platform/linux/browser_store_linux.h"

namespace mirel {
namespace {

// Before anything in this process touches GSettings.
[[maybe_unused]] const bool kMemoryBackend = [] {
  setenv("GSETTINGS_BACKEND", "memory", 1);
  return true;
}();

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/mirel-store-XXXXXX";
    if (mkdtemp(tmpl) != nullptr) path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// --- Desktop proxy --------------------------------------------------------------

class DesktopProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("GSETTINGS_BACKEND", "memory", 1);
    GSettingsBackend* backend = g_settings_backend_get_default();
    const bool memory = std::strcmp(G_OBJECT_TYPE_NAME(backend), "GMemorySettingsBackend") == 0;
    g_object_unref(backend);
    if (!memory)
      GTEST_SKIP() << "GSettings is not on the memory backend; the desktop is not touched";
    if (!DesktopProxyAvailable()) GTEST_SKIP() << "org.gnome.system.proxy is not installed";
    proxy_ = g_settings_new("org.gnome.system.proxy");
    http_ = g_settings_new("org.gnome.system.proxy.http");
    https_ = g_settings_new("org.gnome.system.proxy.https");
    for (const char* k : {"mode", "use-same-proxy"}) g_settings_reset(proxy_, k);
    for (GSettings* s : {http_, https_}) {
      g_settings_reset(s, "host");
      g_settings_reset(s, "port");
    }
    store_ = MakeBrowserSettingsStore(dir_.path());
  }
  void TearDown() override {
    for (GSettings* s : {proxy_, http_, https_}) {
      if (s != nullptr) g_object_unref(s);
    }
  }

  static std::string String(GSettings* s, const char* key) {
    gchar* v = g_settings_get_string(s, key);
    std::string out = v;
    g_free(v);
    return out;
  }

  TempDir dir_;
  GSettings* proxy_ = nullptr;
  GSettings* http_ = nullptr;
  GSettings* https_ = nullptr;
  std::unique_ptr<BrowserSettingsStore> store_;
};

TEST_F(DesktopProxyTest, SwitchAndServerReachTheDesktopAndReadBack) {
  RegistryAccess registry(*store_);
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "0");
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyServer"), "");

  ASSERT_TRUE(registry.WriteRegDword(kInternetSettingsKey, "ProxyEnable", 1));
  ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "ProxyServer", "proxy.example:3128"));

  EXPECT_EQ(String(proxy_, "mode"), "manual");
  EXPECT_EQ(String(http_, "host"), "proxy.example");
  EXPECT_EQ(g_settings_get_int(http_, "port"), 3128);
  EXPECT_EQ(String(https_, "host"), "proxy.example");
  EXPECT_EQ(g_settings_get_int(https_, "port"), 3128);
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "1");
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyServer"), "proxy.example:3128");
  EXPECT_FALSE(std::filesystem::exists(BrowserSettingsFile(dir_.path())))
      << "the desktop's values do not go to the file";
}

TEST_F(DesktopProxyTest, ServerTextsAndHowTheyReadBack) {
  struct Case {
    const char* written;
    const char* httpHost;
    int httpPort;
    const char* httpsHost;
    int httpsPort;
    const char* readBack;
  };
  const Case cases[] = {
      {"http=a.example:8080;https=b.example:8443", "a.example", 8080, "b.example", 8443,
       "http=a.example:8080;https=b.example:8443"},
      {"HTTP=a:1; https=a:1", "a", 1, "a", 1, "a:1"},
      {"http=a.example:8080", "a.example", 8080, "", -1, "http=a.example:8080"},
      {"https=b:2;ftp=f:21;socks=s:1080", "", -1, "b", 2, "https=b:2"},
      {"proxy.example", "proxy.example", 80, "proxy.example", 80, "proxy.example:80"},
      {" PROXY.example:8080 会社", "PROXY.example", 8080, "PROXY.example", 8080,
       "PROXY.example:8080"},
      {"http=q.example:8080　会社;https=q.example:8080", "q.example", 8080, "q.example", 8080,
       "q.example:8080"},
      {"http://p.example:3128/", "p.example", 3128, "p.example", 3128, "p.example:3128"},
      {"[2001:db8::1]:3128", "2001:db8::1", 3128, "2001:db8::1", 3128, "[2001:db8::1]:3128"},
      {"", "", -1, "", -1, ""},
  };
  for (const Case& c : cases) {
    g_settings_set_string(http_, "host", "stale");
    g_settings_set_string(https_, "host", "stale");
    ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "ProxyServer", c.written)) << c.written;
    EXPECT_EQ(String(http_, "host"), c.httpHost) << c.written;
    EXPECT_EQ(String(https_, "host"), c.httpsHost) << c.written;
    if (c.httpPort >= 0) {
      EXPECT_EQ(g_settings_get_int(http_, "port"), c.httpPort) << c.written;
    }
    if (c.httpsPort >= 0) {
      EXPECT_EQ(g_settings_get_int(https_, "port"), c.httpsPort) << c.written;
    }
    std::optional<RegValue> v = store_->Query(kInternetSettingsKey, "ProxyServer");
    ASSERT_TRUE(v.has_value()) << c.written;
    EXPECT_EQ(v->text, c.readBack) << c.written;
  }
}

TEST_F(DesktopProxyTest, UnusableServerTextLeavesTheDesktopAlone) {
  ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "ProxyServer", "keep.example:3128"));
  for (const char* bad : {"host:abc", "host:0", "host:65536", "host:123456", ":8080",
                          "http=a:1;junk", "http=:1", "[::1"}) {
    EXPECT_FALSE(store_->SetString(kInternetSettingsKey, "ProxyServer", bad)) << bad;
    EXPECT_EQ(String(http_, "host"), "keep.example") << bad;
    EXPECT_EQ(g_settings_get_int(https_, "port"), 3128) << bad;
  }
}

TEST_F(DesktopProxyTest, SwitchFollowsTheMode) {
  RegistryAccess registry(*store_);
  struct Case {
    const char* modeBefore;
    std::int16_t written;
    const char* modeAfter;
    const char* readBack;
  };
  const Case cases[] = {
      {"none", 1, "manual", "1"}, {"auto", 1, "manual", "1"}, {"manual", 0, "none", "0"},
      {"auto", 0, "auto", "0"},  // a PAC set-up survives switching the manual proxy off
      {"none", 0, "none", "0"},
  };
  for (const Case& c : cases) {
    g_settings_set_string(proxy_, "mode", c.modeBefore);
    ASSERT_TRUE(registry.WriteRegDword(kInternetSettingsKey, "ProxyEnable", c.written));
    EXPECT_EQ(String(proxy_, "mode"), c.modeAfter) << c.modeBefore << " <- " << c.written;
    EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "PROXYENABLE"), c.readBack);
  }
}

TEST_F(DesktopProxyTest, KeyExistsWithTheSchemaAndOtherValuesUseTheFile) {
  EXPECT_EQ(store_->CreateKey(kInternetSettingsKey), KeyDisposition::kOpenedExisting);
  EXPECT_EQ(store_->CreateKey("software\\microsoft"), KeyDisposition::kOpenedExisting);
  EXPECT_FALSE(store_->SetDword(kInternetSettingsKey, "ProxyServer", 1));
  EXPECT_FALSE(store_->SetString(kInternetSettingsKey, "ProxyEnable", "1"));
  ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "AutoConfigURL", "http://pac.example/"));
  RegistryAccess registry(*store_);
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "AutoConfigURL"), "http://pac.example/");
  EXPECT_NE(ReadFile(BrowserSettingsFile(dir_.path())).find("AutoConfigURL"), std::string::npos);
}

// --- REGEDIT4 file ----------------------------------------------------------------

TEST(BrowserFileStoreTest, ValuesPersistInRegeditFormAndKeysIgnoreCase) {
  TempDir dir;
  {
    auto store = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
    EXPECT_EQ(store->CreateKey(kZone3Key), KeyDisposition::kCreatedNew);
    EXPECT_EQ(store->CreateKey(kZone3Key), KeyDisposition::kOpenedExisting);
    EXPECT_EQ(store->CreateKey("Software\\Microsoft"), KeyDisposition::kOpenedExisting);
    ASSERT_TRUE(store->SetDword(kZone3Key, "1400", 3));
    ASSERT_TRUE(store->SetDword(
        "SOFTWARE\\microsoft\\Windows\\CurrentVersion\\Internet Settings\\zones\\3\\", "1400", 0));
    ASSERT_TRUE(store->SetDword(kZone3Key, "1402", 0xFFFFFFFFu));
    ASSERT_TRUE(store->SetString(kInternetSettingsKey, "ProxyServer", "a \"quoted\\path\""));
    ASSERT_TRUE(store->SetDword(kInternetSettingsKey, "ProxyEnable", 1));
  }
  const std::string file = ReadFile(BrowserSettingsFile(dir.path()));
  EXPECT_TRUE(file.starts_with("REGEDIT4\r\n")) << file;
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\" + std::string(kZone3Key) + "]\r\n"), std::string::npos)
      << file;
  EXPECT_NE(file.find("\"1400\"=dword:00000000\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("\"ProxyServer\"=\"a \\\"quoted\\\\path\\\"\"\r\n"), std::string::npos)
      << file;

  auto store = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
  RegistryAccess registry(*store);
  EXPECT_EQ(registry.ReadRegValue(kZone3Key, "1400"), "0");
  EXPECT_EQ(registry.ReadRegValue(kZone3Key, "1402"), "4294967295");
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "proxyserver"), "a \"quoted\\path\"");
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "1");
  EXPECT_EQ(registry.ReadRegValue(kZone3Key, "1406"), "");
  EXPECT_FALSE(store->SetString(kZone3Key, "x", "two\nlines")) << "REGEDIT4 has no line breaks";
}

TEST(BrowserFileStoreTest, ReadsRegeditExportsWrittenElsewhere) {
  TempDir dir;
  WriteFile(BrowserSettingsFile(dir.path()),
            "\xEF\xBB\xBFREGEDIT4\n\n; exported by hand\n"
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet "
            "Settings]\n"
            "\"ProxyEnable\"=hex:01,00,\\\n  00,00\n"
            "@=\"default\"\n"
            "[hkey_current_user\\software\\microsoft\\windows\\currentversion\\internet "
            "settings\\zones\\3]\n"
            "\"1400\" = dword:00000003\n");
  auto store = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
  std::optional<RegValue> enable = store->Query(kInternetSettingsKey, "ProxyEnable");
  ASSERT_TRUE(enable.has_value());
  EXPECT_EQ(enable->kind, RegValue::Kind::kBinary);
  EXPECT_EQ(enable->text, std::string("\x01\0\0\0", 4));
  RegistryAccess registry(*store);
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, ""), "default");
  EXPECT_EQ(registry.ReadRegValue(kZone3Key, "1400"), "3");
}

TEST(BrowserFileStoreTest, DamagedFileReadsEmptyAndIsKeptAside) {
  const std::string damaged[] = {
      std::string("\0\xff garbage", 10),
      "REGEDIT5\r\n",
      "REGEDIT4\r\n\"1400\"=dword:00000003\r\n",  // a value outside any key
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n",
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\r\n",
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\S]\r\n\"1400\"=dword:3\r\n",
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\S]\r\n\"a\"=\"unterminated\r\n",
      "REGEDIT4\r\n[HKEY_CURRENT_USER\\S]\r\n\"a\"=hex:1,02\r\n",
  };
  for (const std::string& text : damaged) {
    TempDir dir;
    const std::filesystem::path file = BrowserSettingsFile(dir.path());
    WriteFile(file, text);
    auto store = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
    EXPECT_FALSE(store->Query("S", "1400").has_value()) << text;
    EXPECT_FALSE(store->Query("S", "a").has_value()) << text;
    EXPECT_EQ(store->CreateKey("S"), KeyDisposition::kCreatedNew) << text;
    ASSERT_TRUE(store->SetDword("S", "1400", 3)) << text;
    EXPECT_EQ(store->Query("S", "1400")->dword, 3u) << text;
    std::filesystem::path kept = file;
    kept += ".damaged";
    EXPECT_EQ(ReadFile(kept), text);
  }
}

TEST(BrowserFileStoreTest, UnwritableFolderFailsWithoutTouchingAnything) {
  TempDir dir;
  const std::filesystem::path notAFolder = dir.path() / "plain-file";
  WriteFile(notAFolder, "x");
  auto store = MakeLinuxBrowserSettingsStore(notAFolder / "sub", DesktopProxyUse::kNever);
  EXPECT_EQ(store->CreateKey(kZone3Key), KeyDisposition::kFailed);
  EXPECT_FALSE(store->SetDword(kZone3Key, "1400", 3));
  EXPECT_FALSE(store->Query(kZone3Key, "1400").has_value());
  EXPECT_EQ(ReadFile(notAFolder), "x");
}

}  // namespace
}  // namespace mirel
#endif
