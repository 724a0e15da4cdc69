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

#include "behaviour/popup_menu.h"
#include "platform/linux/browser_store_linux.h"
#include "readings/registry.h"
#include "tests/settings_test_support.h"

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
    for (const char* k : {"mode", "use-same-proxy"}) g_settings_reset(proxy_, k);
    for (std::size_t k = 0; k < 4; ++k) {
      parts_[k] = g_settings_new((std::string("org.gnome.system.proxy.") + kNames[k]).c_str());
      g_settings_reset(parts_[k], "host");
      g_settings_reset(parts_[k], "port");
    }
    store_ = MakeBrowserSettingsStore(dir_.path());
  }
  void TearDown() override {
    if (proxy_ != nullptr) g_object_unref(proxy_);
    for (GSettings* s : parts_) {
      if (s != nullptr) g_object_unref(s);
    }
  }

  static std::string String(GSettings* s, const char* key) {
    gchar* v = g_settings_get_string(s, key);
    std::string out = v;
    g_free(v);
    return out;
  }
  // The desktop's proxies as "http=h:p https=h:p ftp= socks=" (no port where
  // there is no host).
  std::string Desktop() const {
    std::string out;
    for (std::size_t k = 0; k < 4; ++k) {
      const std::string host = String(parts_[k], "host");
      out += std::string(k ? " " : "") + kNames[k] + "=" + host;
      if (!host.empty()) out += ":" + std::to_string(g_settings_get_int(parts_[k], "port"));
    }
    return out;
  }
  std::string ServerText() {
    std::optional<RegValue> v = store_->Query(kInternetSettingsKey, "ProxyServer");
    return v ? v->text : "(missing)";
  }

  static constexpr const char* kNames[] = {"http", "https", "ftp", "socks"};
  TempDir dir_;
  GSettings* proxy_ = nullptr;
  GSettings* parts_[4] = {};
  GSettings*& http_ = parts_[0];
  GSettings*& https_ = parts_[1];
  std::unique_ptr<BrowserSettingsStore> store_;
};

TEST_F(DesktopProxyTest, SwitchAndServerReachTheDesktopAndReadBack) {
  RegistryAccess registry(*store_);
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "0");
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyServer"), "");

  ASSERT_TRUE(registry.WriteRegDword(kInternetSettingsKey, "ProxyEnable", 1));
  ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "ProxyServer", "proxy.example:3128"));

  EXPECT_EQ(String(proxy_, "mode"), "manual");
  EXPECT_EQ(Desktop(),
            "http=proxy.example:3128 https=proxy.example:3128 ftp=proxy.example:3128 socks=");
  EXPECT_TRUE(g_settings_get_boolean(proxy_, "use-same-proxy"));
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "1");
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyServer"), "proxy.example:3128");
  auto fileOnly = MakeLinuxBrowserSettingsStore(dir_.path(), DesktopProxyUse::kNever);
  EXPECT_FALSE(fileOnly->Query(kInternetSettingsKey, "ProxyServer").has_value())
      << "the desktop's values are not stored as the file's own";
}

// Every part the desktop can hold goes to it; what the text does not name
// is cleared; the text reads back exactly as it was written.
TEST_F(DesktopProxyTest, TextsMapOntoTheDesktopAndReadBackAsWritten) {
  struct Case {
    const char* written;
    const char* desktop;
  };
  const Case cases[] = {
      {"http=192.0.2.10:3128;https=192.0.2.10:3128",
       "http=192.0.2.10:3128 https=192.0.2.10:3128 ftp= socks="},
      {"socks=192.0.2.1:1080", "http= https= ftp= socks=192.0.2.1:1080"},
      {"HTTP=a:1; https=b:2;ftp=f:21;socks=s:1080", "http=a:1 https=b:2 ftp=f:21 socks=s:1080"},
      {"proxy.example", "http=proxy.example:80 https=proxy.example:80 ftp=proxy.example:80 socks="},
      {" PROXY.example:8080 会社",
       "http=PROXY.example:8080 https=PROXY.example:8080 ftp=PROXY.example:8080 socks="},
      {"http=q.example:8080　会社;https=q.example:8080",
       "http=q.example:8080 https=q.example:8080 ftp= socks="},
      {"http://p.example:3128/",
       "http=p.example:3128 https=p.example:3128 ftp=p.example:3128 socks="},
      {"[2001:db8::1]:3128",
       "http=2001:db8::1:3128 https=2001:db8::1:3128 ftp=2001:db8::1:3128 socks="},
      {"", "http= https= ftp= socks="},
  };
  for (const Case& c : cases) {
    for (GSettings* s : parts_) g_settings_set_string(s, "host", "stale");
    ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "ProxyServer", c.written)) << c.written;
    EXPECT_EQ(Desktop(), c.desktop) << c.written;
    EXPECT_EQ(ServerText(), c.written);
    // So does it for the next start.
    auto restarted = MakeBrowserSettingsStore(dir_.path());
    EXPECT_EQ(restarted->Query(kInternetSettingsKey, "ProxyServer")->text, c.written);
  }
}

// Settings changed by the desktop itself read as they are now, not as the
// text last written here.
TEST_F(DesktopProxyTest, SettingsChangedElsewhereReadFromTheDesktop) {
  ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "ProxyServer",
                                "http=a.example:8080;https=a.example:8080"));
  EXPECT_EQ(ServerText(), "http=a.example:8080;https=a.example:8080");
  g_settings_set_string(https_, "host", "b.example");
  EXPECT_EQ(ServerText(), "http=a.example:8080;https=b.example:8080");
  g_settings_set_string(https_, "host", "a.example");  // back as it was written
  EXPECT_EQ(ServerText(), "http=a.example:8080;https=a.example:8080");
  g_settings_set_int(parts_[2], "port", 21);
  g_settings_set_string(parts_[2], "host", "f.example");
  EXPECT_EQ(ServerText(), "http=a.example:8080;https=a.example:8080;ftp=f.example:21");
  g_settings_set_string(parts_[2], "host", "");
  g_settings_set_string(http_, "host", "c.example");
  g_settings_set_string(https_, "host", "c.example");
  EXPECT_EQ(ServerText(), "c.example:8080") << "http and https agree: the short form";
  for (GSettings* s : parts_) g_settings_set_string(s, "host", "");
  EXPECT_EQ(ServerText(), "");
}

TEST_F(DesktopProxyTest, TextTheDesktopCannotHoldChangesNothing) {
  ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "ProxyServer", "keep.example:3128 会社"));
  const std::string before = Desktop();
  for (const char* bad :
       {"host:abc", "host:0", "host:65536", "host:123456", ":8080", "http=a:1;junk", "http=:1",
        "[::1", "gopher=g:70", "socks5=s:1080", "http=a:1;HTTP=b:2"}) {
    EXPECT_FALSE(store_->SetString(kInternetSettingsKey, "ProxyServer", bad)) << bad;
    EXPECT_EQ(Desktop(), before) << bad;
    EXPECT_EQ(ServerText(), "keep.example:3128 会社") << bad;
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

// Inside the main loop (as the shell's ticks run) the store may keep what it
// read: a change made elsewhere must still show once its notice has come.
TEST_F(DesktopProxyTest, InsideTheMainLoopChangesElsewhereShowOnceNoticed) {
  GMainContext* loop = g_main_context_default();
  ASSERT_TRUE(g_main_context_acquire(loop));
  auto settle = [loop] {
    while (g_main_context_iteration(loop, FALSE)) {
    }
  };
  RegistryAccess registry(*store_);
  ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "ProxyServer", "a.example:8080 会社"));
  for (int round = 0; round < 2; ++round) {  // the second round reads what the first kept
    EXPECT_EQ(ServerText(), "a.example:8080 会社");
    EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "0");
  }

  g_settings_set_string(https_, "host", "b.example");
  settle();
  EXPECT_EQ(ServerText(), "http=a.example:8080;https=b.example:8080;ftp=a.example:8080");
  g_settings_set_string(proxy_, "mode", "manual");
  settle();
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "1");

  // Its own writes show at once, without waiting for their notices.
  ASSERT_TRUE(store_->SetString(kInternetSettingsKey, "ProxyServer", "c.example:3128"));
  EXPECT_EQ(ServerText(), "c.example:3128");
  ASSERT_TRUE(registry.WriteRegDword(kInternetSettingsKey, "ProxyEnable", 0));
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "0");
  settle();
  g_settings_set_string(http_, "host", "");
  for (GSettings* s : parts_) g_settings_set_string(s, "host", "");
  settle();
  EXPECT_EQ(ServerText(), "");
  g_main_context_release(loop);
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

// On KDE both get every switch: Chromium there reads KDE's file, Firefox
// GNOME's settings. The readouts are KDE's, so a PAC type there shows.
TEST_F(DesktopProxyTest, OnKdeEverySwitchReachesBothAndKdesFileIsRead) {
  const std::filesystem::path rc = dir_.path() / "kioslaverc";
  auto both = MakeLinuxBrowserSettingsStore(dir_.path(), DesktopProxyUse::kWhenAvailable, rc);
  ASSERT_TRUE(both->SetString(kInternetSettingsKey, "ProxyServer", "192.0.2.1:3128"));
  ASSERT_TRUE(both->SetDword(kInternetSettingsKey, "ProxyEnable", 1));
  EXPECT_EQ(String(proxy_, "mode"), "manual");
  EXPECT_EQ(Desktop(), "http=192.0.2.1:3128 https=192.0.2.1:3128 ftp=192.0.2.1:3128 socks=");
  const std::string kde = ReadFile(rc);
  EXPECT_NE(kde.find("ProxyType=1\n"), std::string::npos) << kde;
  EXPECT_NE(kde.find("httpsProxy=http://192.0.2.1 3128\n"), std::string::npos) << kde;

  WriteFile(rc, "[Proxy Settings]\nProxyType=2\nProxy Config Script=http://pac.example/p.pac\n");
  RegistryAccess registry(*both);
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyServer"),
            "PAC:http://pac.example/p.pac");
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "0");
  ASSERT_TRUE(both->SetDword(kInternetSettingsKey, "ProxyEnable", 0));
  EXPECT_EQ(String(proxy_, "mode"), "none") << "GNOME's manual proxy goes off";
  EXPECT_NE(ReadFile(rc).find("ProxyType=2\n"), std::string::npos) << "KDE's script type stays";
  // A file KDE's administrator locked: GNOME's settings are left alone too.
  WriteFile(rc, "[Proxy Settings][$i]\nProxyType=0\n");
  EXPECT_FALSE(both->SetString(kInternetSettingsKey, "ProxyServer", "192.0.2.9:80"));
  EXPECT_EQ(Desktop(), "http=192.0.2.1:3128 https=192.0.2.1:3128 ftp=192.0.2.1:3128 socks=");
}

// The menu marks the entry just chosen, whatever its form.
TEST_F(DesktopProxyTest, MenuMarksTheEntryJustChosen) {
  SettingsModel settings;
  settings.proxyList = {"192.0.2.10:3128", "http=192.0.2.10:3128;https=192.0.2.10:3128",
                        "socks=192.0.2.1:1080", "http://192.0.2.20:8080/ 会社"};
  RegistryAccess registry(*store_);
  for (std::size_t k = 1; k <= settings.proxyList.size(); ++k) {
    const std::string& caption = settings.proxyList[k - 1];
    ASSERT_TRUE(ChooseProxyEntry(*store_, settings, k, caption)) << caption;
    EXPECT_EQ(settings.statusText, caption + kProxyChangedText);
    std::vector<ProxyMenuEntry> entries = BuildProxyEntries(ProxGet(registry), settings.proxyList);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].checked, i == k) << caption << ": entry " << i;
    }
  }
  EXPECT_EQ(Desktop(), "http=192.0.2.20:8080 https=192.0.2.20:8080 ftp=192.0.2.20:8080 socks=");
  const std::string before = Desktop();
  settings.proxyList.push_back("ftp=a:21;gopher=g:70");
  EXPECT_FALSE(ChooseProxyEntry(*store_, settings, 5, settings.proxyList[4]));
  EXPECT_EQ(settings.statusText, kErrorText);
  EXPECT_EQ(Desktop(), before);
}

// A backend that says yes to every write and keeps none of it, as dconf does
// without a session bus or with a read-only configuration folder (GLib only
// warns "failed to commit changes"; after a sync the old values are back).
struct ForgetfulBackend {
  GSettingsBackend parent;
};
struct ForgetfulBackendClass {
  GSettingsBackendClass parentClass;
};
G_DEFINE_TYPE(ForgetfulBackend, forgetful_backend, G_TYPE_SETTINGS_BACKEND)

GVariant* ForgetfulRead(GSettingsBackend*, const gchar*, const GVariantType*, gboolean) {
  return nullptr;  // the schema's default
}
gboolean ForgetfulWrite(GSettingsBackend*, const gchar*, GVariant* value, gpointer) {
  g_variant_unref(g_variant_ref_sink(value));
  return TRUE;
}
gboolean ForgetfulWriteTree(GSettingsBackend*, GTree*, gpointer) {
  return TRUE;
}
void ForgetfulReset(GSettingsBackend*, const gchar*, gpointer) {}
gboolean ForgetfulWritable(GSettingsBackend*, const gchar*) {
  return TRUE;
}

void forgetful_backend_class_init(ForgetfulBackendClass* c) {
  c->parentClass.read = ForgetfulRead;
  c->parentClass.write = ForgetfulWrite;
  c->parentClass.write_tree = ForgetfulWriteTree;
  c->parentClass.reset = ForgetfulReset;
  c->parentClass.get_writable = ForgetfulWritable;
}
void forgetful_backend_init(ForgetfulBackend*) {}

TEST(DesktopProxyNotKeptTest, WritesTheBackendDoesNotKeepAreErrors) {
  if (!DesktopProxyAvailable()) GTEST_SKIP() << "org.gnome.system.proxy is not installed";
  TempDir dir;
  GSettingsBackend* backend =
      static_cast<GSettingsBackend*>(g_object_new(forgetful_backend_get_type(), nullptr));
  auto store = MakeLinuxBrowserSettingsStore(dir.path(), backend);
  EXPECT_FALSE(store->SetString(kInternetSettingsKey, "ProxyServer", "192.0.2.10:3128"));
  EXPECT_EQ(store->Query(kInternetSettingsKey, "ProxyServer")->text, "");

  RegistryAccess registry(*store);
  int errors = 0;
  registry.onWriteError = [&] { ++errors; };
  EXPECT_FALSE(registry.WriteRegDword(kInternetSettingsKey, "ProxyEnable", 1));
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable"), "0")
      << "the switch shows the real state";

  SettingsModel settings;
  settings.proxyList = {"192.0.2.10:3128"};
  EXPECT_FALSE(ChooseProxyEntry(*store, settings, 1, "192.0.2.10:3128"));
  EXPECT_EQ(settings.statusText, kErrorText);
  // Switching off what is off already writes nothing, so nothing can fail.
  EXPECT_TRUE(registry.WriteRegDword(kInternetSettingsKey, "ProxyEnable", 0));
  store.reset();
  g_object_unref(backend);
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

// A comment is one line, whatever it ends in: it never takes the next value
// with it (which the next write would then have dropped for good).
TEST(BrowserFileStoreTest, CommentsNeverContinueOntoTheNextLine) {
  TempDir dir;
  const std::filesystem::path file = BrowserSettingsFile(dir.path());
  WriteFile(file,
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\S]\r\n"
            "; old value was \"x\"=hex:01,\\\r\n"
            "\"1400\"=dword:00000003\r\n"
            "\"note\"=\"ends in =hex\\\\\"\r\n"
            "\"1402\"=dword:00000000\r\n"
            "\"bin\"=hex:01,\\\r\n  02\r\n");
  auto store = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
  RegistryAccess registry(*store);
  EXPECT_EQ(registry.ReadRegValue("S", "1400"), "3");
  EXPECT_EQ(registry.ReadRegValue("S", "note"), "ends in =hex\\");
  EXPECT_EQ(registry.ReadRegValue("S", "1402"), "0");
  EXPECT_EQ(store->Query("S", "bin")->text, "\x01\x02");
  ASSERT_TRUE(store->SetDword("S", "other", 1));
  auto again = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
  RegistryAccess reread(*again);
  EXPECT_EQ(reread.ReadRegValue("S", "1400"), "3") << ReadFile(file);
  EXPECT_EQ(reread.ReadRegValue("S", "1402"), "0") << ReadFile(file);
}

TEST(BrowserFileStoreTest, EveryDamagedFileIsKeptUnderItsOwnNumber) {
  TempDir dir;
  const std::filesystem::path file = BrowserSettingsFile(dir.path());
  auto store = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
  for (int n = 1; n <= 3; ++n) {
    WriteFile(file, "damaged " + std::to_string(n));
    EXPECT_FALSE(store->Query("S", "1400").has_value());
    ASSERT_TRUE(store->SetDword("S", "1400", static_cast<std::uint32_t>(n)));
    EXPECT_EQ(store->Query("S", "1400")->dword, static_cast<std::uint32_t>(n));
  }
  EXPECT_EQ(ReadFile(dir.path() / "browser-settings.reg.damaged"), "damaged 1");
  EXPECT_EQ(ReadFile(dir.path() / "browser-settings.reg.damaged-2"), "damaged 2");
  EXPECT_EQ(ReadFile(dir.path() / "browser-settings.reg.damaged-3"), "damaged 3");
  // A healthy file is never put aside.
  ASSERT_TRUE(store->SetDword("S", "1402", 0));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "browser-settings.reg.damaged-4"));
}

// Bytes this process has read through read() and friends so far.
std::uint64_t BytesReadByProcess() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return 0;
}

std::string RegText(const std::string& body, std::size_t padTo = 0) {
  std::string text = "REGEDIT4\r\n[HKEY_CURRENT_USER\\S]\r\n" + body;
  while (text.size() < padTo) text += "; padding padding padding padding padding padding\r\n";
  return text;
}

// The tick asks for the zone values every time: an unchanged file is not
// read again, a changed one is.
TEST(BrowserFileStoreTest, FileIsReadAgainOnlyWhenItChanged) {
  TempDir dir;
  const std::filesystem::path file = BrowserSettingsFile(dir.path());
  const std::string big = RegText("\"1400\"=dword:00000003\r\n", 200 * 1024);
  WriteFile(file, big);
  auto store = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
  RegistryAccess registry(*store);
  ASSERT_EQ(registry.ReadRegValue("S", "1400"), "3");
  const std::uint64_t before = BytesReadByProcess();
  ASSERT_GT(before, 0u) << "/proc/self/io is not readable here";
  for (int i = 0; i < 50; ++i) ASSERT_EQ(registry.ReadRegValue("S", "1400"), "3");
  EXPECT_LT(BytesReadByProcess() - before, big.size()) << "an unchanged file was read again";

  // Replaced by another program (a new inode), then rewritten in place.
  const std::filesystem::path other = dir.path() / "other";
  WriteFile(other, RegText("\"1400\"=dword:00000000\r\n"));
  std::filesystem::rename(other, file);
  EXPECT_EQ(registry.ReadRegValue("S", "1400"), "0");
  WriteFile(file, RegText("\"1400\"=dword:00000003\r\n\"1402\"=dword:00000003\r\n"));
  EXPECT_EQ(registry.ReadRegValue("S", "1402"), "3");
  std::filesystem::remove(file);
  EXPECT_EQ(registry.ReadRegValue("S", "1400"), "");
  // Our own write is seen at once, and by a second store on the same file.
  ASSERT_TRUE(store->SetDword("S", "1400", 0));
  EXPECT_EQ(registry.ReadRegValue("S", "1400"), "0");
  auto second = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
  ASSERT_TRUE(second->SetDword("S", "1400", 3));
  EXPECT_EQ(registry.ReadRegValue("S", "1400"), "3");
}

// A file far beyond what the store holds is not read at all: it counts as
// damaged and is put aside on the next write.
TEST(BrowserFileStoreTest, OversizedFileIsNotReadAndIsKeptAside) {
  TempDir dir;
  const std::filesystem::path file = BrowserSettingsFile(dir.path());
  const std::string atLimit = RegText("\"1400\"=dword:00000003\r\n", kMaxBrowserSettingsBytes);
  WriteFile(file, atLimit.substr(0, kMaxBrowserSettingsBytes));
  auto store = MakeLinuxBrowserSettingsStore(dir.path(), DesktopProxyUse::kNever);
  EXPECT_TRUE(store->Query("S", "1400").has_value()) << "a file at the limit is read";

  WriteFile(file, atLimit.substr(0, kMaxBrowserSettingsBytes) + "\n");
  EXPECT_FALSE(store->Query("S", "1400").has_value()) << "one byte over the limit";

  // 100 MB (sparse, so the test stays light): not a byte of it is read.
  std::filesystem::remove(file);
  WriteFile(file, RegText("\"1400\"=dword:00000003\r\n"));
  std::filesystem::resize_file(file, 100u << 20);
  const std::uint64_t before = BytesReadByProcess();
  EXPECT_FALSE(store->Query("S", "1400").has_value());
  EXPECT_LT(BytesReadByProcess() - before, 1u << 20);
  ASSERT_TRUE(store->SetDword("S", "1402", 0));
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "browser-settings.reg.damaged"), 100u << 20);
  EXPECT_EQ(store->Query("S", "1402")->dword, 0u);
  EXPECT_FALSE(store->Query("S", "1400").has_value());
}

// A file this user may not read (left by another account, say) is not
// written over blindly: what it holds is kept aside.
TEST(BrowserFileStoreTest, UnreadableFileIsKeptAsideNotOverwritten) {
  testing::TempFolder folder;
  std::filesystem::permissions(folder.path(), std::filesystem::perms::all);
  const std::filesystem::path file = BrowserSettingsFile(folder.path());
  const std::string text = RegText("\"1400\"=dword:00000003\r\n");
  WriteFile(file, text);
  std::filesystem::permissions(file, std::filesystem::perms::none);
  const std::string problem = testing::RunUnprivileged([&]() -> std::string {
    auto store = MakeLinuxBrowserSettingsStore(folder.path(), DesktopProxyUse::kNever);
    if (store->Query("S", "1400").has_value()) return "read a file it may not read";
    if (!store->SetDword("S", "1402", 0)) return "the write failed";
    if (store->Query("S", "1402")->dword != 0) return "the write did not read back";
    return {};
  });
  EXPECT_EQ(problem, "");
  std::filesystem::path kept = file;
  kept += ".damaged";
  EXPECT_EQ(ReadFile(kept), text);
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
