// The start-up web check: learns the newest version and its notice from the
// version page, and the caller's global address from the address page. The
// HTTP transfer is injected, so the same algorithm runs against the Qt
// client, a test double or the command-line tool.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "readings/web_check_results.h"
#include "settings/settings_model.h"
#include "settings/user_preferences.h"

namespace mirel {

#ifndef MIREL_WEBCHECK_BASE
#define MIREL_WEBCHECK_BASE ""
#endif
// Where the pages live unless told otherwise (a build setting): nobody runs
// them for every user, so by default there is none and nothing is asked.
inline constexpr const char* kDefaultWebCheckBase = MIREL_WEBCHECK_BASE;
// The key of preferences.conf that holds the address the user set.
inline constexpr const char* kWebCheckBaseKey = "webcheck.base";

// Paths below the base address (scheme, host and folder before "/cgi-bin/").
inline constexpr const char* kVersionPagePath = "/cgi-bin/Mirel9xCgi/Mirel9xCheck/Mirel9xCheck.htm";
inline constexpr const char* kVersionCounterPath = "/cgi-bin/Mirel9xCgi/Mirel9xCheck/dayx.cgi?gif";
inline constexpr const char* kAddressPagePath = "/cgi-bin/Mirel9xCgi/MirelCgi/dlcount.cgi?f=1_1";
inline constexpr const char* kAddressCounterPath = "/cgi-bin/Mirel9xCgi/Mirel3Cgi/dayx.cgi?gif";
// The access log of the version check, carrying our own version number.
std::string VersionLogPath(int versionNumber = kVersionNumber);

inline constexpr const char* kVersionPageTitle = "Mirel君9x最新版確認ページ";
inline constexpr const char* kIpItemKey = "104";

// A reply body larger than this is refused: the pages are a few hundred
// bytes, and whatever we keep ends up in a strip text.
inline constexpr std::size_t kMaxReplyBytes = 1024 * 1024;
// The longest address text we accept (an IPv6 address with a zone fits).
inline constexpr std::size_t kMaxGlobalIpChars = 64;

// How long one request of the check may take.
inline constexpr std::chrono::milliseconds kWebCheckTimeout{60000};

// Whether `base` can serve as the base address: an http or https address
// with a host (and a port of digits, if any), no query or fragment, and
// nothing that an address cannot hold (blanks, control characters).
bool IsUsableWebCheckBase(const std::string& base);
// The address the check asks, by precedence: `given` (the command line's or
// the environment's), else webcheck.base of the preferences, else the
// build's default. Empty when none is set; the text as written otherwise,
// usable or not (the caller asks only a usable one).
std::string ChooseWebCheckBase(const std::string& given, const UserPreferences& preferences);
// The address of a page: the base without its trailing slashes, then path.
std::string WebCheckUrl(const std::string& base, const std::string& path);

struct FetchReply {
  bool ok = false;
  std::string body;   // the raw reply bytes when ok
  std::string error;  // what went wrong, for diagnostics, when !ok
};

// One blocking GET of base + path. asText tells whether the body is going to
// be read as text (the two pages) or only discarded (the counters).
using Fetch = std::function<FetchReply(const std::string& path, bool asText)>;

struct WebCheckReport {
  std::vector<std::string> requests;  // every path asked for, in order
  bool addressRequested = false;
  bool failed = false;  // the run ended at the guard ("接続不能")
  std::string failure;  // why, when failed
};

// Runs the whole check once and fills `results`. Any failed request, any reply
// that is too large, does not decode as code page 932 or does not have the
// expected shape sets globalIp to "接続不能" and ends the run; whatever was set
// before that stays. `model` is read once before the first request; `fetch`
// may run an event loop.
WebCheckReport RunWebCheck(const SettingsModel& model, const TextCodec& codec, const Fetch& fetch,
                           WebCheckResults& results);

}  // namespace mirel
