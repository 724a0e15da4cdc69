// The web check against any reply a server (or a man in the middle) may send:
// no crash, and the global address is always a short single line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "readings/web_check.h"

namespace {

using namespace mirel;

const TextCodec& Codec() {
  static const std::unique_ptr<TextCodec> codec = MakeAnsiCodec();
  return *codec;
}

bool IsSingleShortLine(const std::string& text) {
  if (text.empty() || text.size() > 4 * kMaxGlobalIpChars) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace

// The first byte chooses the settings and which counter request fails; the
// rest is the version page and the address page, split at the first "\xFF\xFF".
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t split = rest.find("\xFF\xFF");
  const std::string versionPage(rest.substr(0, split));
  const std::string addressPage(split == std::string_view::npos ? "" : rest.substr(split + 2));

  SettingsModel model;
  model.versionCheckAuto = flags & 1;
  ItemRow ip;
  ip.key = kIpItemKey;
  ip.checked = flags & 2;
  model.items.push_back(ip);

  int counter = 0;
  Fetch fetch = [&](const std::string& path, bool asText) -> FetchReply {
    if (!asText && (flags >> 2) == ++counter) return {false, {}, "refused"};
    if (path == kVersionPagePath) return {true, versionPage, {}};
    if (path == kAddressPagePath) return {true, addressPage, {}};
    return {true, "GIF89a", {}};
  };
  WebCheckResults results;
  WebCheckReport report = RunWebCheck(model, Codec(), fetch, results);
  const std::string& ip_text = results.globalIp;
  const bool known = ip_text == kUnreachableText || ip_text == kRestartToShowText;
  if (!known && !IsSingleShortLine(ip_text)) {
    std::fprintf(stderr, "unusable global address: %s\n", ip_text.c_str());
    std::abort();
  }
  if (report.failed != (ip_text == kUnreachableText)) std::abort();
  return 0;
}
