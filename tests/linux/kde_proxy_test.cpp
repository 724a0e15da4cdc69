// KDE's proxy in kioslaverc: the entry forms map onto its keys, a write keeps
// every other line and the file's permissions, a type set in KDE's settings
// stays until the user switches, and what cannot be written is an error.
#ifdef __linux__
#define G_SETTINGS_ENABLE_BACKEND
#include "platform/linux/kde_proxy.h"

#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/linux/browser_store_linux.h"
#include "readings/registry.h"
#include "tests/settings_test_support.h"

namespace mirel {
namespace {

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class KdeProxyStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/mirel-kde-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    rc_ = dir_ / "kioslaverc";
  }
  void TearDown() override {
    store_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  void Open() {
    store_ = MakeLinuxBrowserSettingsStore(dir_ / "mirel9x", DesktopProxyUse::kNever, rc_);
  }
  std::string Server() {
    std::optional<RegValue> v = store_->Query(kInternetSettingsKey, "ProxyServer");
    return v ? v->text : "(missing)";
  }
  std::uint32_t Enabled() {
    std::optional<RegValue> v = store_->Query(kInternetSettingsKey, "ProxyEnable");
    return v ? v->dword : 99;
  }
  bool SetServer(const char* text) {
    return store_->SetString(kInternetSettingsKey, "ProxyServer", text);
  }
  bool SetEnabled(std::uint32_t on) {
    return store_->SetDword(kInternetSettingsKey, "ProxyEnable", on);
  }

  std::filesystem::path dir_;
  std::filesystem::path rc_;
  std::unique_ptr<BrowserSettingsStore> store_;
};

// A file as a user's desktop leaves it: keys before any group, other groups
// after ours, comments, options on keys, a locale's variant, no final line end.
constexpr const char* kUserFile =
    "# written by hand\n"
    "UserAgent=x\n"
    "\n"
    "[Proxy Settings]\n"
    "NoProxyFor=localhost,127.0.0.1\n"
    "ProxyType=0\n"
    "ReversedException=false\n"
    "httpProxy[$e]=http://old.example 8080\n"
    "httpProxy[de]=http://de.example 1\n"
    "socksProxy=socks://old.example 1080\n"
    "\n"
    "[Cache]\n"
    "MaxCacheSize=5120";

TEST_F(KdeProxyStoreTest, EntryFormsMapOntoKdesKeysAndEveryOtherLineStays) {
  { std::ofstream(rc_, std::ios::binary) << kUserFile; }
  ASSERT_EQ(::chmod(rc_.c_str(), 0600), 0);
  Open();
  EXPECT_EQ(Server(), "http=old.example:8080;socks=old.example:1080");

  ASSERT_TRUE(SetServer("http=192.0.2.1:3128;https=[2001:db8::1]:443"));
  EXPECT_EQ(ReadFile(rc_),
            "# written by hand\nUserAgent=x\n\n"
            "[Proxy Settings]\n"
            "NoProxyFor=localhost,127.0.0.1\n"
            "ProxyType=0\n"
            "ReversedException=false\n"
            "httpProxy=http://192.0.2.1 3128\n"
            "httpProxy[de]=http://de.example 1\n"
            "socksProxy=\n"
            "httpsProxy=http://[2001:db8::1] 443\n"
            "ftpProxy=\n"
            "\n[Cache]\nMaxCacheSize=5120");
  struct stat st {};
  ASSERT_EQ(::stat(rc_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file keeps its permissions";
  EXPECT_EQ(Server(), "http=192.0.2.1:3128;https=[2001:db8::1]:443") << "read back as written";
  EXPECT_EQ(Enabled(), 0u) << "choosing a server leaves the switch";

  ASSERT_TRUE(SetServer("proxy.example:8080 会社"));
  const KdeProxy one = ParseKioslaverc(ReadFile(rc_));
  for (int k : {proxy::kHttp, proxy::kHttps, proxy::kFtp}) {
    EXPECT_EQ(proxy::FormatEndpoint(one.parts[k]), "proxy.example:8080");
  }
  EXPECT_TRUE(one.parts[proxy::kSocks].host.empty());
  EXPECT_EQ(Server(), "proxy.example:8080 会社");
  ASSERT_TRUE(SetEnabled(1));
  EXPECT_NE(ReadFile(rc_).find("\nProxyType=1\n"), std::string::npos);
  EXPECT_EQ(Enabled(), 1u);
  ASSERT_TRUE(SetServer(""));
  EXPECT_EQ(Server(), "");
  EXPECT_EQ(Enabled(), 1u);
  ASSERT_TRUE(SetEnabled(0));
  EXPECT_EQ(Enabled(), 0u);
  EXPECT_NE(ReadFile(rc_).find("[Cache]\nMaxCacheSize=5120"), std::string::npos);

  // A text no desktop can hold changes nothing.
  const std::string before = ReadFile(rc_);
  EXPECT_FALSE(SetServer("gopher=192.0.2.9:70"));
  EXPECT_EQ(ReadFile(rc_), before);
}

TEST_F(KdeProxyStoreTest, ATypeSetInKdeIsShownAndKeptUntilTheUserSwitches) {
  const std::vector<std::pair<std::string, std::string>> types = {
      {"2", "PAC:http://wpad.example/proxy.pac"}, {"3", "自動検出"}, {"4", "環境変数"}};
  for (const auto& [type, shown] : types) {
    {
      std::ofstream(rc_, std::ios::binary)
          << "[Proxy Settings]\r\nProxyType=" << type
          << "\r\nProxy Config Script=http://wpad.example/proxy.pac\r\nhttpProxy=HTTP_PROXY\r\n";
    }
    Open();
    EXPECT_EQ(Server(), shown);
    EXPECT_EQ(Enabled(), 0u);
    ASSERT_TRUE(SetEnabled(0));
    ASSERT_TRUE(SetServer("192.0.2.1:3128"));
    const std::string kept = ReadFile(rc_);
    EXPECT_NE(kept.find("ProxyType=" + type + "\r\n"), std::string::npos) << kept;
    EXPECT_NE(kept.find("httpProxy=http://192.0.2.1 3128\r\n"), std::string::npos)
        << "new lines end as the file's do: " << kept;
    EXPECT_EQ(Server(), shown);
    ASSERT_TRUE(SetEnabled(1));  // the user switches the manual proxy on
    EXPECT_EQ(Server(), "192.0.2.1:3128");
    EXPECT_EQ(Enabled(), 1u);
  }
  // No file at all: created with the group only when something is set.
  std::filesystem::remove(rc_);
  Open();
  EXPECT_EQ(Server(), "");
  ASSERT_TRUE(SetEnabled(0));
  EXPECT_FALSE(std::filesystem::exists(rc_));
  ASSERT_TRUE(SetServer("192.0.2.5:80"));
  EXPECT_EQ(ReadFile(rc_),
            "[Proxy Settings]\nhttpProxy=http://192.0.2.5 80\nhttpsProxy=http://192.0.2.5 80\n"
            "ftpProxy=http://192.0.2.5 80\nsocksProxy=\n");
}

TEST_F(KdeProxyStoreTest, WhatCannotBeWrittenWholeIsAnErrorAndTouchesNothing) {
  const std::vector<std::string> locked = {
      "[$i]\n[Proxy Settings]\nProxyType=0\n",
      "[Proxy Settings][$i]\nProxyType=0\n",
      "[Proxy Settings]\nhttpProxy[$i]=http://admin.example 80\nProxyType[$i]=0\n",
  };
  for (const std::string& text : locked) {
    { std::ofstream(rc_, std::ios::binary) << text; }
    Open();
    EXPECT_FALSE(SetServer("192.0.2.1:3128")) << text;
    EXPECT_FALSE(SetEnabled(1)) << text;
    EXPECT_EQ(ReadFile(rc_), text);
  }
  // Too large to be a real one, or not a regular file: never replaced.
  {
    std::ofstream(rc_, std::ios::binary) << "[Proxy Settings]\n"
                                         << std::string(kMaxKioslavercBytes, '#') << "\n";
  }
  Open();
  EXPECT_FALSE(SetServer("192.0.2.1:3128"));
  EXPECT_EQ(std::filesystem::file_size(rc_), kMaxKioslavercBytes + 18);
  std::filesystem::remove(rc_);
  ASSERT_EQ(::mkfifo(rc_.c_str(), 0600), 0);
  Open();
  EXPECT_EQ(Server(), "") << "a FIFO does not hang the read";
  EXPECT_FALSE(SetServer("192.0.2.1:3128"));
  EXPECT_TRUE(std::filesystem::is_fifo(rc_));
}

// In the event loop the file is read once and again only when its monitor
// saw it change, also when another program replaces it by a rename.
TEST_F(KdeProxyStoreTest, InsideTheMainLoopAChangeElsewhereShowsOnceNoticed) {
  Open();
  GMainContext* loop = g_main_context_default();
  ASSERT_TRUE(g_main_context_acquire(loop));
  ASSERT_TRUE(SetServer("192.0.2.1:3128"));
  EXPECT_EQ(Server(), "192.0.2.1:3128");
  ASSERT_EQ(WriteFileAtomically(rc_,
                                "[Proxy Settings]\nProxyType=1\n"
                                "httpProxy=http://192.0.2.7 8080\n"
                                "httpsProxy=http://192.0.2.7 8080\n"),
            "");
  std::string seen;
  for (int i = 0; i < 200 && seen != "192.0.2.7:8080"; ++i) {
    while (g_main_context_iteration(loop, FALSE)) {
    }
    seen = Server();
    if (seen != "192.0.2.7:8080") std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(seen, "192.0.2.7:8080");
  EXPECT_EQ(Enabled(), 1u);
  g_main_context_release(loop);
}

}  // namespace
}  // namespace mirel
#endif
