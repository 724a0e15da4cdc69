#include "readings/web_check.h"

#include <gtest/gtest.h>

#include <map>

namespace mirel {
namespace {

const std::string kLogPath = VersionLogPath();
const std::string kTitle = kVersionPageTitle;

// A site in memory: the pages are given as UTF-8 and served as code page 932,
// unless `raw` holds the exact bytes; a path missing from both fails.
struct FakeSite {
  std::map<std::string, std::string> pages;
  std::map<std::string, std::string> raw;
  std::vector<std::pair<std::string, bool>> asked;  // path, asText

  Fetch AsFetch(const TextCodec& codec) {
    return [this, &codec](const std::string& path, bool asText) {
      asked.emplace_back(path, asText);
      FetchReply reply;
      if (raw.count(path)) {
        reply.ok = true;
        reply.body = raw[path];
      } else if (pages.count(path)) {
        reply.ok = true;
        reply.body = codec.ToAnsi(pages[path]).value();
      } else {
        reply.error = "connection refused";
      }
      return reply;
    };
  }
};

std::string VersionPage(const std::string& version, const std::string& notice) {
  return "<HTML><HEAD><TITLE>" + kTitle + "</TITLE></HEAD><BODY>最新版----------" + version +
         "<BR>++++++++++" + notice + "**********</BODY></HTML>";
}

std::string AddressPage(const std::string& address) {
  return "<HTML><BODY><IMG SRC=\"c.gif\" WIDTH=1></BODY>" + address + "</HTML>";
}

class WebCheckTest : public ::testing::Test {
 protected:
  WebCheckTest() {
    model.versionCheckAuto = true;
    model.items = {{"ＣＰＵ使用率", "100", "", "", true}, {"IPアドレス", "104", "", "", true}};
    site.pages[kVersionPagePath] = VersionPage("319", "Ver3.19 を公開しました");
    site.pages[kVersionCounterPath] = "GIF89a";
    site.pages[kLogPath] = "";
    site.pages[kAddressPagePath] = AddressPage("192.0.2.7");
    site.pages[kAddressCounterPath] = "GIF89a";
  }

  WebCheckReport Check() { return RunWebCheck(model, *codec, site.AsFetch(*codec), results); }

  std::unique_ptr<TextCodec> codec = MakeAnsiCodec();
  SettingsModel model;
  FakeSite site;
  WebCheckResults results;
};

TEST_F(WebCheckTest, NewerVersionGivesNoticeAddressAndRequestOrder) {
  const WebCheckReport report = Check();
  EXPECT_FALSE(report.failed) << report.failure;
  EXPECT_EQ(results.latestVersion, "319");
  EXPECT_EQ(results.notice, "Ver3.19 を公開しました");
  EXPECT_EQ(results.pageState, "ok");
  EXPECT_EQ(results.globalIp, "192.0.2.7");
  EXPECT_EQ(results.versionPage, VersionPage("319", "Ver3.19 を公開しました"));
  const std::vector<std::pair<std::string, bool>> expected = {{kVersionPagePath, true},
                                                              {kVersionCounterPath, false},
                                                              {kLogPath, false},
                                                              {kAddressPagePath, true},
                                                              {kAddressCounterPath, false}};
  EXPECT_EQ(site.asked, expected);
  EXPECT_EQ(kLogPath, "/cgi-bin/Mirel9xCgi/Mirel9xCheck/hana/hana_page.cgi?id=318&type=main");
}

TEST_F(WebCheckTest, SameVersionIsValidAndMissingTitleStillFetchesTheAddress) {
  site.pages[kVersionPagePath] = VersionPage("318", "x");
  Check();
  EXPECT_EQ(results.pageState, "ok");
  EXPECT_EQ(results.latestVersion, "318");

  std::string noTitle = VersionPage("320", "x");
  noTitle.replace(noTitle.find(kTitle), kTitle.size(), "Mirel9x");
  site.pages[kVersionPagePath] = noTitle;
  results = {};
  Check();
  EXPECT_EQ(results.pageState, "0");
  EXPECT_EQ(results.globalIp, "192.0.2.7");
}

// Markers ignore letter case, only the first of each counts, and positions
// count characters (the Japanese text before them is two bytes each).
TEST_F(WebCheckTest, VersionPageFieldsComeFromExactCharacterPositions) {
  struct Case {
    std::string page, version, notice, state;
  };
  const Case cases[] = {
      {"MIREL君9X最新版確認ページ ----------319 ----------400 ++++++++++a**********", "319", "a",
       "ok"},
      {"新版----------31", "31", "", "0"},  // no notice markers: see the failures below
      // Without "----------" the version is characters 10 to 12 of the page;
      // without "++++++++++" the notice runs from character 10.
      {"123456789ABCDEF**********", "ABC", "ABCDEF", "0"},
      // Eleven pluses: the notice starts ten characters after the first.
      {"----------319+++++++++++お知らせ***********", "319", "+お知らせ", "0"},
      {"----------319 ++++++++++**********", "319", "", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    site.pages[kVersionPagePath] = c.page;
    results = {};
    const WebCheckReport report = Check();
    EXPECT_EQ(results.latestVersion, c.version);
    if (c.page.find("**********") == std::string::npos) {
      EXPECT_TRUE(report.failed);
      continue;
    }
    EXPECT_FALSE(report.failed) << report.failure;
    EXPECT_EQ(results.notice, c.notice);
    EXPECT_EQ(results.pageState, c.state);
  }
}

TEST_F(WebCheckTest, AddressIsTakenBetweenBodyEndAndHtmlEnd) {
  const std::pair<std::string, std::string> cases[] = {
      {AddressPage("192.0.2.7"), "192.0.2.7"},
      {"<html><body><img src=c.gif></body>192.0.2.7</html>", "192.0.2.7"},
      {"></BODY>1</HTML>></BODY>2</HTML>", "1"},
      {"1234567198.51.100.4</HTML>", "198.51.100.4"},  // no "></BODY>": from character 8
      {"<BODY></BODY>\r\n2001:db8::1\r\n</HTML>", "2001:db8::1"},
      {"></BODY>" + std::string(kMaxGlobalIpChars, '9') + "</HTML>",
       std::string(kMaxGlobalIpChars, '9')},
  };
  for (const auto& [page, address] : cases) {
    SCOPED_TRACE(page);
    site.pages[kAddressPagePath] = page;
    results = {};
    EXPECT_FALSE(Check().failed);
    EXPECT_EQ(results.globalIp, address);
  }
}

TEST_F(WebCheckTest, MalformedOrUntrustedRepliesEndAtTheGuard) {
  const std::string tooLong(kMaxGlobalIpChars + 1, '9');
  const std::string hugeOk = "></BODY>1.2.3.4</HTML>" + std::string(kMaxReplyBytes - 22, ' ');
  const std::pair<std::string, std::string> addressPages[] = {
      {"></BODY>192.0.2.7", "no </HTML>"},
      {"></BODY></HTML>", "empty"},
      {"></BODY>" + tooLong + "</HTML>", "too long"},
      {"></BODY>192.0.2.7\n<script>x</script></HTML>", "two lines"},
      {"></BODY>192.0.2.\a7</HTML>", "control character"},
      {hugeOk + " ", "one byte over the cap"},
  };
  for (const auto& [page, why] : addressPages) {
    SCOPED_TRACE(why);
    site.raw[kAddressPagePath] = page;
    results = {};
    const WebCheckReport report = Check();
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(results.globalIp, kUnreachableText);
    EXPECT_EQ(results.latestVersion, "319");  // set before the failure, kept
    EXPECT_EQ(report.requests.size(), 4u);    // the counter after it is not asked
  }
  site.raw[kAddressPagePath] = hugeOk;
  EXPECT_FALSE(Check().failed);

  site.raw[kAddressPagePath] = "\x82\x20></BODY>1.2.3.4</HTML>";  // lead byte without trail
  EXPECT_TRUE(Check().failed);
}

TEST_F(WebCheckTest, VersionPageWithoutEndMarkerStopsBeforeTheAddress) {
  site.pages[kVersionPagePath] = kTitle + "----------319 ++++++++++notice";
  const WebCheckReport report = Check();
  EXPECT_TRUE(report.failed);
  EXPECT_EQ(results.globalIp, kUnreachableText);
  EXPECT_EQ(results.latestVersion, "319");
  EXPECT_EQ(results.notice, "Text7");
  EXPECT_EQ(results.pageState, "no");
  EXPECT_EQ(report.requests, std::vector<std::string>{kVersionPagePath});

  site.pages[kVersionPagePath] = "**********----------319++++++++++notice";  // end before start
  results = {};
  EXPECT_TRUE(Check().failed);
  EXPECT_EQ(results.notice, "Text7");
}

// Whichever request fails, the run stops there with "接続不能", including the
// counters that come after the address has been read.
TEST_F(WebCheckTest, AnyFailedRequestStopsTheRun) {
  const std::string paths[] = {kVersionPagePath, kVersionCounterPath, kLogPath, kAddressPagePath,
                               kAddressCounterPath};
  for (std::size_t i = 0; i < std::size(paths); ++i) {
    SCOPED_TRACE(paths[i]);
    FakeSite broken = site;
    broken.pages.erase(paths[i]);
    results = {};
    const WebCheckReport report = RunWebCheck(model, *codec, broken.AsFetch(*codec), results);
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(results.globalIp, kUnreachableText);
    EXPECT_EQ(report.requests.size(), i + 1);
    EXPECT_EQ(results.latestVersion, i == 0 ? "999" : "319");
  }
  site.raw[kVersionCounterPath] = std::string(kMaxReplyBytes + 1, 'G');  // discarded, still capped
  EXPECT_TRUE(Check().failed);
}

TEST_F(WebCheckTest, ItemRowsAndVersionSettingChooseTheRequests) {
  model.versionCheckAuto = false;
  Check();
  EXPECT_EQ(site.asked.size(), 2u);
  EXPECT_EQ(site.asked[0].first, kAddressPagePath);
  EXPECT_EQ(site.asked[1].first, kAddressCounterPath);
  EXPECT_EQ(results.pageState, "no");
  EXPECT_EQ(results.notice, "Text7");

  model.versionCheckAuto = true;
  model.items[1].checked = false;
  results = {};
  WebCheckReport report = Check();
  EXPECT_EQ(results.globalIp, kRestartToShowText);
  EXPECT_FALSE(report.addressRequested);
  EXPECT_EQ(report.requests.size(), 3u);

  // A later shown row with the key is taken, and the address is asked once.
  model.items.push_back({"IPアドレス", "104", "", "", true});
  model.items.push_back({"IPアドレス", "104", "", "", true});
  results = {};
  report = Check();
  EXPECT_EQ(results.globalIp, "192.0.2.7");
  EXPECT_EQ(report.requests.size(), 5u);

  // The dialog can change the rows while a request waits; the check keeps to
  // the rows it started with.
  model.items = {{"IPアドレス", "104", "", "", true}};
  const Fetch inner = site.AsFetch(*codec);
  const Fetch meddling = [&](const std::string& path, bool asText) {
    model.items.clear();
    return inner(path, asText);
  };
  results = {};
  report = RunWebCheck(model, *codec, meddling, results);
  EXPECT_EQ(results.globalIp, "192.0.2.7");
}

TEST(WebCheckBaseTest, BaseMustBeAnHttpAddressWithAHost) {
  for (const char* good : {"http://mirel9x.example", "https://127.0.0.1:8080/folder/",
                           "HTTP://Host.test", "http://[::1]:8080", "http://user@host.test/m"}) {
    EXPECT_TRUE(IsUsableWebCheckBase(good)) << good;
  }
  for (const char* bad :
       {"ftp://mirel9x.example", "mirel9x.example", "http://", "http://host/?q=1", "http://h/#x",
        "", "http://a b", "http://host:port", "http://host:", "http://host:99999",
        "http://host\r\nX: y", "javascript://x", "http://[::1", "http://user@"}) {
    EXPECT_FALSE(IsUsableWebCheckBase(bad)) << bad;
  }
  EXPECT_EQ(WebCheckUrl("http://a.test/m//", "/cgi-bin/x"), "http://a.test/m/cgi-bin/x");
}

}  // namespace
}  // namespace mirel
