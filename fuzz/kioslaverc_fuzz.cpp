// KDE's kioslaverc, which the user, KDE's settings and other programs write:
// whatever it holds, setting the proxy keys gives a file that reads back as
// set, and setting them again changes nothing more.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/linux/kde_proxy.h"

namespace {

using namespace mirel;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "kioslaverc: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)ParseKioslaverc(text);
  proxy::Parts parts;
  parts[proxy::kHttp] = {"192.0.2.1", 3128};
  parts[proxy::kSocks] = {"2001:db8::1", 1080};
  const std::optional<std::string> once = EditKioslaverc(text, KdeProxyEntries(parts));
  if (!once) return 0;  // locked
  const KdeProxy read = ParseKioslaverc(*once);
  if (!(read.parts == parts)) Fail("the proxy keys do not read back as set");
  const std::optional<std::string> twice = EditKioslaverc(*once, KdeProxyEntries(parts));
  if (!twice || *twice != *once) Fail("setting the same keys again changed the file");
  const std::optional<std::string> type = EditKioslaverc(*once, {{"ProxyType", "1"}});
  if (!type) return 0;  // the type alone is locked
  if (ParseKioslaverc(*type).type != kKdeProxyManual) Fail("ProxyType not set");
  if (!(ParseKioslaverc(*type).parts == parts)) Fail("setting the type lost the proxies");
  return 0;
}
