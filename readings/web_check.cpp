#include "readings/web_check.h"

#include <optional>
#include <string_view>

#include "settings/char_text.h"

namespace mirel {

namespace {

// Positions and lengths count characters, not bytes, so the page is searched
// as code points. Code page 932 only maps into the BMP, so a code point is
// also one character of the 16-bit strings the page format was made for.

// Letter case is ignored for the Latin letters, both the ASCII and the
// full-width forms that Japanese pages use.
char32_t FoldCase(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + (U'a' - U'A');
  if (c >= U'\uFF21' && c <= U'\uFF3A') return c + (U'\uFF41' - U'\uFF21');
  return c;
}

// 1-based position of the first occurrence of `needle`, 0 when missing.
std::size_t Find(std::u32string_view hay, std::u32string_view needle) {
  if (needle.size() > hay.size()) return 0;
  for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && FoldCase(hay[i + k]) == FoldCase(needle[k])) ++k;
    if (k == needle.size()) return i + 1;
  }
  return 0;
}

struct Failure {
  std::string why;
};

// Substring from 1-based `start` with `length` characters, clipped at the
// end; a negative length is a malformed reply.
std::u32string Mid(std::u32string_view s, std::size_t start, long long length) {
  if (length < 0) throw Failure{"version page: \"**********\" missing or before the notice"};
  if (start > s.size()) return {};
  return std::u32string(s.substr(start - 1, static_cast<std::size_t>(length)));
}

std::u32string Marker(const char* utf8) {
  return *DecodeUtf8(utf8);
}

bool IsControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

bool IsBlank(char32_t c) {
  return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n';
}

class Run {
 public:
  Run(const TextCodec& codec, const Fetch& fetch, WebCheckReport& report)
      : codec_(codec), fetch_(fetch), report_(report) {}

  std::string Bytes(const std::string& path, bool asText) {
    report_.requests.push_back(path);
    FetchReply reply = fetch_(path, asText);
    if (!reply.ok) throw Failure{path + ": " + (reply.error.empty() ? "failed" : reply.error)};
    if (reply.body.size() > kMaxReplyBytes) throw Failure{path + ": reply larger than 1 MiB"};
    return std::move(reply.body);
  }

  std::u32string Text(const std::string& path) {
    std::optional<std::string> utf8 = codec_.FromAnsi(Bytes(path, true));
    std::optional<std::u32string> text;
    if (utf8) text = DecodeUtf8(*utf8);
    if (!text) throw Failure{path + ": reply is not code page 932 text"};
    return std::move(*text);
  }

 private:
  const TextCodec& codec_;
  const Fetch& fetch_;
  WebCheckReport& report_;
};

void CheckVersion(Run& run, WebCheckResults& results) {
  const std::u32string page = run.Text(kVersionPagePath);
  results.versionPage = EncodeUtf8(page);

  const std::size_t p1 = Find(page, U"----------");
  results.latestVersion = EncodeUtf8(Mid(page, p1 + 10, 3));

  const std::size_t p2 = Find(page, U"++++++++++");
  const std::size_t p3 = Find(page, U"**********");
  const long long length = static_cast<long long>(p3) - static_cast<long long>(p2) - 10;
  results.notice = EncodeUtf8(Mid(page, p2 + 10, length));

  const std::size_t p4 = Find(page, Marker(kVersionPageTitle));
  results.pageState = p4 != 0 ? "ok" : "0";  // the position text, 0 when missing

  run.Bytes(kVersionCounterPath, false);
  run.Bytes(VersionLogPath(), false);
}

std::string AddressFromPage(const std::u32string& page) {
  const std::size_t q1 = Find(page, U"></BODY>");
  const std::u32string rest = Mid(page, q1 + 8, static_cast<long long>(page.size()));
  const std::size_t q2 = Find(rest, U"</HTML>");
  if (q2 == 0) throw Failure{"address page has no </HTML> after the address"};
  std::u32string_view address(rest.data(), q2 - 1);

  // The address is shown on a one-line strip and copied to the clipboard:
  // accept one line of sane length and nothing else.
  while (!address.empty() && IsBlank(address.front())) address.remove_prefix(1);
  while (!address.empty() && IsBlank(address.back())) address.remove_suffix(1);
  if (address.empty()) throw Failure{"address page holds no address"};
  if (address.size() > kMaxGlobalIpChars) throw Failure{"address text too long"};
  for (char32_t c : address) {
    if (IsControl(c)) throw Failure{"address text is not a single line"};
  }
  return EncodeUtf8(address);
}

// What the authority (host and port, perhaps a user) of a base address is
// made of: it must name a host, and a port must be a number.
bool UsableAuthority(std::string_view authority) {
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view host = authority;
  std::string_view port;
  if (host.starts_with('[')) {  // an IPv6 address
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    port = host.substr(close + 1);
    if (!port.empty() && port.front() != ':') return false;
    if (!port.empty()) port.remove_prefix(1);
    host = host.substr(1, close - 1);
  } else if (const std::size_t colon = host.rfind(':'); colon != std::string_view::npos) {
    port = host.substr(colon + 1);
    host = host.substr(0, colon);
    if (port.empty()) return false;
  }
  if (host.empty() || port.size() > 5) return false;
  unsigned number = 0;
  for (const char c : port) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number <= 65535;
}

}  // namespace

bool IsUsableWebCheckBase(const std::string& base) {
  for (const char c : base) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '\\' || c == '?' || c == '#' || c == '"' || c == '<' ||
        c == '>') {
      return false;
    }
  }
  std::string_view rest = base;
  const std::size_t scheme = rest.find("://");
  if (scheme == std::string_view::npos) return false;
  std::string lower(rest.substr(0, scheme));
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower != "http" && lower != "https") return false;
  rest.remove_prefix(scheme + 3);
  return UsableAuthority(rest.substr(0, rest.find('/')));
}

std::string ChooseWebCheckBase(const std::string& given, const UserPreferences& preferences) {
  if (!given.empty()) return given;
  const std::string stored = preferences.GetOr(kWebCheckBaseKey, "");
  return stored.empty() ? std::string(kDefaultWebCheckBase) : stored;
}

std::string WebCheckUrl(const std::string& base, const std::string& path) {
  std::string url = base;
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url + path;
}

std::string VersionLogPath(int versionNumber) {
  return "/cgi-bin/Mirel9xCgi/Mirel9xCheck/hana/hana_page.cgi?id=" + std::to_string(versionNumber) +
         "&type=main";
}

WebCheckReport RunWebCheck(const SettingsModel& model, const TextCodec& codec, const Fetch& fetch,
                           WebCheckResults& results) {
  WebCheckReport report;
  Run run(codec, fetch, report);
  // The settings are read once, up front: a fetch waits in an event loop in
  // which the dialog may change them, but the check runs on what start-up saw.
  const bool checkVersion = model.versionCheckAuto;
  bool wantAddress = false;
  for (const ItemRow& row : model.items) {
    if (row.key == kIpItemKey && row.checked) {
      wantAddress = true;
      break;
    }
  }
  try {
    if (checkVersion) CheckVersion(run, results);
    if (wantAddress) {
      report.addressRequested = true;
      results.globalIp = AddressFromPage(run.Text(kAddressPagePath));
      run.Bytes(kAddressCounterPath, false);
    } else {
      results.globalIp = kRestartToShowText;
    }
  } catch (const Failure& failure) {
    results.globalIp = kUnreachableText;
    report.failed = true;
    report.failure = failure.why;
  }
  return report;
}

}  // namespace mirel
