// KDE Plasma's proxy settings: the [Proxy Settings] group of kioslaverc in
// the user's configuration folder, which KDE's own programs and Chromium
// read on a Plasma session (Chromium follows a change of the file within a
// second, without any notice).
//
//   [Proxy Settings]
//   ProxyType=1                     0 none, 1 manual, 2 script (PAC),
//                                   3 detected (WPAD), 4 environment variables
//   httpProxy=http://192.0.2.1 3128 KDE's "scheme://host port" (also host:port)
//   httpsProxy=... ftpProxy=... socksProxy=socks://...
//   Proxy Config Script=http://wpad/proxy.pac
//
// ProxyEnable maps onto ProxyType: on is 1; off is 0 only when the type is 1,
// so a script, detection or environment type set in KDE's settings stays
// until the user switches the manual proxy on. A ProxyServer text maps onto
// the four proxy keys as it does onto GNOME's settings (proxy_text.h).
//
// A write changes those keys alone: every other line of the file, of this
// group and of the others, stays byte for byte, and the file keeps its
// permissions (it is replaced atomically). What was written is read back. A
// file that cannot be read whole (not a regular file, over
// kMaxKioslavercBytes, unreadable) or a key the administrator locked
// ("[$i]") is not written: the write fails. After a change KDE's programs are
// told on the session bus to read the file again, as KDE's settings do.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/linux/proxy_text.h"

typedef struct _GFileMonitor GFileMonitor;

namespace mirel {

inline constexpr std::size_t kMaxKioslavercBytes = 1024 * 1024;

inline constexpr int kKdeProxyNone = 0;
inline constexpr int kKdeProxyManual = 1;
inline constexpr int kKdeProxyScript = 2;
inline constexpr int kKdeProxyDetect = 3;
inline constexpr int kKdeProxyEnvironment = 4;

struct KdeProxy {
  int type = kKdeProxyNone;  // ProxyType; a missing or unreadable one is none
  proxy::Parts parts;        // httpProxy, httpsProxy, ftpProxy, socksProxy
  std::string script;        // Proxy Config Script
};

KdeProxy ParseKioslaverc(std::string_view text);

// Keys of [Proxy Settings] and their new values.
using KdeEntries = std::vector<std::pair<std::string, std::string>>;
// The four proxy keys for these parts, in KDE's own form.
KdeEntries KdeProxyEntries(const proxy::Parts& parts);
// The text with the entries set in [Proxy Settings] (added at the end of the
// group, or in a new group at the end, where missing) and every other line
// as it was. nullopt when the file, the group or one of the keys is locked.
std::optional<std::string> EditKioslaverc(std::string_view text, const KdeEntries& entries);

// What the proxy readout shows for a type that takes the proxy from
// elsewhere ("PAC:" and the script, 自動検出, 環境変数); nullopt for none
// and manual, which show the proxy keys.
std::optional<std::string> KdeTypeText(const KdeProxy& p);

// True while this thread runs an iteration of GLib's default main context,
// as a handler dispatched by the shell's event loop does: change notices
// (GSettings, file monitors) reach their handlers only then.
bool GLibNoticesDelivered();

class KdeProxyFile {
 public:
  explicit KdeProxyFile(std::filesystem::path path);
  ~KdeProxyFile();
  KdeProxyFile(const KdeProxyFile&) = delete;
  KdeProxyFile& operator=(const KdeProxyFile&) = delete;

  // The settings as the file holds them. Inside the event loop the file is
  // read again only after its monitor saw it change; elsewhere on every call.
  KdeProxy Current();
  // false when the file could not be written or does not read back as asked.
  bool SetParts(const proxy::Parts& parts);
  bool SetEnabled(bool on);

  const std::filesystem::path& path() const { return path_; }

 private:
  bool Write(const KdeEntries& entries, const std::function<bool(const KdeProxy&)>& holds);
  static void OnChanged(GFileMonitor*, void*, void*, int, void* self);

  std::filesystem::path path_;
  GFileMonitor* monitor_ = nullptr;
  std::optional<KdeProxy> cache_;
};

// $XDG_CONFIG_HOME/kioslaverc (~/.config/kioslaverc) when the session is KDE
// Plasma (XDG_CURRENT_DESKTOP names KDE); nullopt elsewhere.
std::optional<std::filesystem::path> KdeProxyFileForSession();

}  // namespace mirel
